#include "platform/app_data.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tarvelin::platform {

std::filesystem::path roamingAppDataFolder() {
    std::filesystem::path folder;
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome != nullptr && *dataHome == '/') {
        folder = dataHome;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        folder = std::filesystem::path(home) / ".local" / "share";
    } else {
        return {};
    }
    // Windows' roaming folder always exists; a fresh Linux account may not have its data
    // folder yet, and callers create only their own folder inside it.
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

CreateFolderResult createFolder(const std::filesystem::path& folder) {
    if (mkdir(folder.c_str(), 0755) == 0) return CreateFolderResult::created;
    return errno == EEXIST ? CreateFolderResult::alreadyExists : CreateFolderResult::failed;
}

}  // namespace tarvelin::platform
