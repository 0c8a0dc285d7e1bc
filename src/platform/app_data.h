#pragma once
// Where the library keeps its files: what each platform must provide.
// Windows: the roaming application-data folder (SHGetKnownFolderPath). POSIX: $XDG_DATA_HOME,
// or ~/.local/share when that is unset.

#include <filesystem>

namespace tarvelin::platform {

// The folder, or an empty path when the platform cannot name one.
std::filesystem::path roamingAppDataFolder();

enum class CreateFolderResult { created, alreadyExists, failed };

// Creates one folder level (CreateDirectoryW); its parent must exist.
CreateFolderResult createFolder(const std::filesystem::path& folder);

}  // namespace tarvelin::platform
