#include "platform/process_list.h"

#include <dirent.h>

#include <cctype>
#include <fstream>
#include <string>

#include "platform/posix/object_name.h"

namespace tarvelin::platform {

namespace {

// argv[0] as the process started it, cut after its last '/' or '\'. Wine starts a Windows
// program with its Windows path ("C:\games\X-Plane.exe"), so both separators count.
std::string executableName(const char* pid) {
    std::ifstream cmdline(std::string("/proc/") + pid + "/cmdline", std::ios::binary);
    std::string argv0;
    std::getline(cmdline, argv0, '\0');
    const auto cut = argv0.find_last_of("/\\");
    return cut == std::string::npos ? argv0 : argv0.substr(cut + 1);
}

bool isPid(const char* name) {
    if (*name == '\0') return false;
    for (; *name != '\0'; ++name) {
        if (!std::isdigit(static_cast<unsigned char>(*name))) return false;
    }
    return true;
}

}  // namespace

bool forEachProcess(ProcessVisitor visit, void* context) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return false;
    while (dirent* entry = readdir(proc)) {
        if (!isPid(entry->d_name)) continue;
        const std::string name = executableName(entry->d_name);
        if (name.empty()) continue;  // kernel threads have no command line
        if (!visit(fromUtf8(name), context)) break;
    }
    closedir(proc);
    return true;
}

}  // namespace tarvelin::platform
