#include "platform/system_error.h"

#include <windows.h>

namespace tarvelin::platform {

std::uint32_t lastSystemError() {
    return GetLastError();
}

void setLastSystemError(std::uint32_t code) {
    SetLastError(code);
}

bool describeSystemError(std::uint32_t code, std::wstring& text) {
    wchar_t* message = nullptr;
    // 0x1300: allocate the buffer, take the text from the system table, ignore inserts.
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, LANG_SYSTEM_DEFAULT, reinterpret_cast<LPWSTR>(&message),
                                        0, nullptr);
    if (length == 0 || message == nullptr) {
        text.clear();
        return false;
    }
    text.assign(message, length);
    LocalFree(message);
    return true;
}

}  // namespace tarvelin::platform
