#include "log/error_log.h"

#include <chrono>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <locale>
#include <mutex>

#include "platform/app_data.h"
#include "platform/clock.h"

namespace tarvelin {

struct ErrorLog::File {
    std::filesystem::path path;
    std::mutex mutex;  // makes each line whole, whichever object writes it
    std::wofstream stream;
};

namespace {

// The file the objects alive now share. It closes when the last of them goes.
struct SharedFile {
    std::mutex mutex;
    std::weak_ptr<ErrorLog::File> file;
};

SharedFile& sharedFile() {
    static SharedFile shared;
    return shared;
}

// The log file at `path`, shared with the objects that have it open already, or opened anew
// (then null when it cannot be opened). A file that has been deleted meanwhile is not shared:
// new lines go to a new file where the owner will look for them.
std::shared_ptr<ErrorLog::File> openShared(const std::filesystem::path& path) {
    SharedFile& shared = sharedFile();
    std::lock_guard lock(shared.mutex);
    std::shared_ptr<ErrorLog::File> file = shared.file.lock();
    std::error_code ignored;
    if (file != nullptr && file->path == path && std::filesystem::exists(path, ignored)) return file;

    file = std::make_shared<ErrorLog::File>();
    file->path = path;
    // The classic locale narrows each wide character to one byte, so ASCII messages are stored
    // as plain text whatever the user's locale is.
    file->stream.imbue(std::locale::classic());
    file->stream.open(path, std::ios::out | std::ios::app);
    if (!file->stream.is_open()) return nullptr;
    shared.file = file;
    return file;
}

}  // namespace

ErrorLog::ErrorLog() {
    const std::filesystem::path appData = platform::roamingAppDataFolder();
    if (appData.empty()) {
        std::wcerr << L"Failed to get APPDATA path" << std::endl;
        return;
    }
    const std::filesystem::path folder = appData / "tarvelin";
    if (platform::createFolder(folder) == platform::CreateFolderResult::failed) {
        std::wcerr << L"Failed to create log directory" << std::endl;
        return;
    }
    file_ = openShared(folder / "errorlog.txt");
    if (file_ == nullptr) std::wcerr << L"Failed to open log file" << std::endl;
}

void ErrorLog::logInfo(std::wstring_view message) { write(L"[INFO] [", message); }

void ErrorLog::logError(std::wstring_view message) { write(L"[ERROR] [", message); }

void ErrorLog::write(std::wstring_view prefix, std::wstring_view message) {
    if (file_ == nullptr) return;
    const std::tm local = platform::localTime(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
    wchar_t stamp[64];
    const std::size_t length = std::wcsftime(stamp, 64, L"%Y-%m-%d %H:%M:%S", &local);
    std::lock_guard lock(file_->mutex);
    file_->stream << prefix << std::wstring_view(stamp, length) << L"] " << message << std::endl;
}

std::wstring widen(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

}  // namespace tarvelin
