#pragma once
// Appends "[INFO] [time] message" and "[ERROR] [time] message" lines to the library's log file,
// "errorlog.txt" in the folder "tarvelin" of the user's roaming application-data folder.
//
// Objects are cheap: make one for a line or two, or keep one in a long-lived object. Several may
// have the file open at once; each line is written and flushed whole. A log that cannot be
// opened says so once on the standard wide error stream and then drops its lines silently.

#include <fstream>
#include <mutex>
#include <string>
#include <string_view>

namespace tarvelin {

class ErrorLog {
public:
    ErrorLog();
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    void logInfo(std::wstring_view message);
    void logError(std::wstring_view message);

    bool isOpen() const { return stream_.is_open(); }

private:
    void write(std::wstring_view prefix, std::wstring_view message);

    std::wofstream stream_;
    std::mutex mutex_;
};

// Widens a byte string character by character, the way messages made of fixed text, numbers and
// addresses are handed to the log.
std::wstring widen(std::string_view text);

}  // namespace tarvelin
