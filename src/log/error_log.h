#pragma once
// Appends "[INFO] [time] message" and "[ERROR] [time] message" lines to the library's log file,
// "errorlog.txt" in the folder "tarvelin" of the user's roaming application-data folder.
//
// Objects are cheap: make one for a line or two, or keep one in a long-lived object. All the
// objects alive at one time share one open file (the engine keeps one object per network game
// reader, which would otherwise hold as many descriptors of the same file); each line is written
// and flushed whole under the file's own lock, so the lines of different objects never mix. A
// log that cannot be opened says so once on the standard wide error stream and then drops its
// lines silently.

#include <memory>
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

    bool isOpen() const { return file_ != nullptr; }

    // The open log file that the objects share; defined with the log.
    struct File;

private:
    void write(std::wstring_view prefix, std::wstring_view message);

    std::shared_ptr<File> file_;
};

// Widens a byte string character by character, the way messages made of fixed text, numbers and
// addresses are handed to the log.
std::wstring widen(std::string_view text);

}  // namespace tarvelin
