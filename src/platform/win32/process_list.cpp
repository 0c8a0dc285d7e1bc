#include "platform/process_list.h"

#include <windows.h>
#include <tlhelp32.h>

namespace tarvelin::platform {

bool forEachProcess(ProcessVisitor visit, void* context) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (!visit(entry.szExeFile, context)) break;
    }
    CloseHandle(snapshot);
    return true;
}

}  // namespace tarvelin::platform
