#include "log/error_log.h"

#include <chrono>
#include <cwchar>
#include <iostream>
#include <locale>

#include "platform/app_data.h"
#include "platform/clock.h"

namespace tarvelin {

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
    // The classic locale narrows each wide character to one byte, so ASCII messages are stored
    // as plain text whatever the user's locale is.
    stream_.imbue(std::locale::classic());
    stream_.open(folder / "errorlog.txt", std::ios::out | std::ios::app);
    if (!stream_.is_open()) std::wcerr << L"Failed to open log file" << std::endl;
}

void ErrorLog::logInfo(std::wstring_view message) { write(L"[INFO] [", message); }

void ErrorLog::logError(std::wstring_view message) { write(L"[ERROR] [", message); }

void ErrorLog::write(std::wstring_view prefix, std::wstring_view message) {
    std::lock_guard lock(mutex_);
    if (!stream_.is_open()) return;
    const std::tm local = platform::localTime(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
    wchar_t stamp[64];
    const std::size_t length = std::wcsftime(stamp, 64, L"%Y-%m-%d %H:%M:%S", &local);
    stream_ << prefix << std::wstring_view(stamp, length) << L"] " << message << std::endl;
}

std::wstring widen(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

}  // namespace tarvelin
