#pragma once
// The library's own console lines, as the console keeps them: the bytes it prints to standard
// output and error are cut into lines, each time-stamped and kept once per text with a count,
// so that a line the game search prints four times a second is one entry with a growing count
// rather than a flood. The newest entries feed the live view's log area; every line also goes
// to the log file (--log), the first time at once and its repeats as a count every ten seconds.
//
// Thread-safe: the capture's readers add bytes while the session reads entries.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvelin::console {

struct LogEntry {
    std::string text;
    double firstSeconds = 0.0;  // since the log began
    double lastSeconds = 0.0;
    std::uint64_t count = 0;
};

class LibraryLog {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t streams = 2;            // standard output, standard error
    static constexpr std::size_t longestLine = 400;       // longer lines are cut into pieces
    static constexpr std::size_t mostEntries = 256;       // the least recently seen goes first
    static constexpr auto repeatReport = std::chrono::seconds(10);

    explicit LibraryLog(Clock::time_point start = Clock::now());
    ~LibraryLog();
    LibraryLog(const LibraryLog&) = delete;
    LibraryLog& operator=(const LibraryLog&) = delete;

    // From now on writes every line to `file` as well, after `heading`. False with `error`
    // (the system's reason) when the file cannot be created.
    bool writeTo(const std::filesystem::path& file, const std::string& heading, std::string& error);
    const std::filesystem::path& file() const { return path_; }
    bool writeFailed() const;

    // Bytes that arrived on `stream` (0 output, 1 error). Complete lines become entries; a
    // sync mark among them is noted and removed.
    void take(std::size_t stream, std::string_view bytes, Clock::time_point now = Clock::now());

    // Lines that have waited longer than `quiet` for their end become entries as they are
    // ("COM1 COM2 " while the link scans), and repeat counts due in the file are written.
    void settle(Clock::time_point now = Clock::now(), Clock::duration quiet = std::chrono::milliseconds(500));

    // Takes every waiting piece of a line and writes every repeat count still owed to the file.
    void finish(Clock::time_point now = Clock::now());

    // The `count` most recently seen entries, the newest last.
    std::vector<LogEntry> newest(std::size_t count) const;
    // The entries whose text appeared for the first time since the last call, in order.
    std::vector<LogEntry> takeNewEntries();
    // Every line taken so far, and the distinct texts among them.
    std::uint64_t lines() const;
    std::size_t distinct() const;
    // How many lines so far began with `prefix`.
    std::uint64_t linesBeginningWith(std::string_view prefix) const;

    // The text that marks a point in a stream; the caller writes it, then waits for it to
    // arrive, so that everything written before it has been taken.
    static std::string syncMark(std::uint64_t id);
    // Waits until the mark `id` has arrived on every stream in `which` (bit 0 output, bit 1
    // error), or `timeout` has passed. True when it has.
    bool waitForMark(std::uint64_t id, unsigned which, Clock::duration timeout);

    double secondsSinceStart(Clock::time_point now) const;

private:
    struct Entry {
        LogEntry shown;
        std::uint64_t unwritten = 0;  // repeats not yet counted in the file
        double unwrittenSince = 0.0;
        std::list<std::string>::iterator recency;
    };

    void addLine(std::string text, Clock::time_point now);
    void cutLines(std::size_t stream, Clock::time_point now);
    void writeRepeats(Entry& entry, double seconds);
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void writeLine(const char* format, ...);

    const Clock::time_point start_;
    mutable std::mutex mutex_;
    std::condition_variable marks_;
    std::string partial_[streams];
    Clock::time_point partialSince_[streams];
    std::uint64_t lastMark_[streams] = {};
    std::unordered_map<std::string, Entry> entries_;
    std::list<std::string> recency_;  // texts, least recently seen first
    std::vector<std::string> fresh_;
    std::uint64_t lines_ = 0;
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    bool writeFailed_ = false;
    Clock::time_point nextRepeatReport_;
};

}  // namespace tarvelin::console
