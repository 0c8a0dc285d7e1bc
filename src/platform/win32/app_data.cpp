#include "platform/app_data.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

namespace tarvelin::platform {

std::filesystem::path roamingAppDataFolder() {
    PWSTR path = nullptr;
    std::filesystem::path folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &path))) folder = path;
    CoTaskMemFree(path);
    return folder;
}

CreateFolderResult createFolder(const std::filesystem::path& folder) {
    if (CreateDirectoryW(folder.c_str(), nullptr)) return CreateFolderResult::created;
    return GetLastError() == ERROR_ALREADY_EXISTS ? CreateFolderResult::alreadyExists : CreateFolderResult::failed;
}

}  // namespace tarvelin::platform
