#include "host_console/library_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace tarvelin::console {

namespace {

constexpr std::string_view markStart = "\x1etarvelin-sync:";
constexpr char markEnd = '\x1e';

// What reaches the terminal must not steer it: control characters (an escape sequence would
// move the cursor inside the live panel) become '?', tabs spaces; carriage returns, which the
// library mixes into its line ends, go.
std::string cleaned(std::string_view line) {
    std::string text;
    text.reserve(line.size());
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') continue;
        if (c == '\t') text += ' ';
        else if (byte < 0x20 || byte == 0x7f) text += '?';
        else text += c;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// Where a mark begins that has not wholly arrived yet; npos when none does.
std::size_t unfinishedMark(const std::string& text) {
    const auto at = text.rfind(markStart.front());
    if (at == std::string::npos) return std::string::npos;
    const std::string_view rest = std::string_view(text).substr(at);
    if (rest.size() <= markStart.size()) return markStart.substr(0, rest.size()) == rest ? at : std::string::npos;
    if (rest.substr(0, markStart.size()) != markStart) return std::string::npos;
    const bool digitsOnly = std::all_of(rest.begin() + static_cast<std::ptrdiff_t>(markStart.size()), rest.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
    return digitsOnly ? at : std::string::npos;
}

}  // namespace

LibraryLog::LibraryLog(Clock::time_point start) : start_(start), nextRepeatReport_(start + repeatReport) {
    for (auto& since : partialSince_) since = start;
}

LibraryLog::~LibraryLog() {
    if (file_ != nullptr) std::fclose(file_);
}

bool LibraryLog::writeTo(const std::filesystem::path& file, const std::string& heading, std::string& error) {
    std::FILE* opened = std::fopen(file.string().c_str(), "w");
    if (opened == nullptr) {
        error = "cannot create the log " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    const std::lock_guard lock(mutex_);
    if (file_ != nullptr) std::fclose(file_);
    file_ = opened;
    path_ = file;
    writeLine("%s\n", heading.c_str());
    writeLine("# Times are seconds since the console started. A line that comes again is not repeated: every %d s\n"
              "# a count follows it, 'xN (FROM .. TO)', N more times between those times.\n",
              static_cast<int>(repeatReport.count()));
    return true;
}

bool LibraryLog::writeFailed() const {
    const std::lock_guard lock(mutex_);
    return writeFailed_;
}

double LibraryLog::secondsSinceStart(Clock::time_point now) const {
    return std::chrono::duration<double>(now - start_).count();
}

void LibraryLog::take(std::size_t stream, std::string_view bytes, Clock::time_point now) {
    if (stream >= streams || bytes.empty()) return;
    const std::lock_guard lock(mutex_);
    auto& partial = partial_[stream];
    if (partial.empty()) partialSince_[stream] = now;
    partial.append(bytes);
    // A mark may arrive in the middle of a line; the text around it stays one line.
    bool marked = false;
    for (auto at = partial.find(markStart); at != std::string::npos; at = partial.find(markStart, at)) {
        const auto end = partial.find(markEnd, at + markStart.size());
        if (end == std::string::npos) break;
        const auto id = std::strtoull(partial.c_str() + at + markStart.size(), nullptr, 10);
        lastMark_[stream] = std::max(lastMark_[stream], static_cast<std::uint64_t>(id));
        partial.erase(at, end + 1 - at);
        marked = true;
    }
    cutLines(stream, now);
    if (marked) marks_.notify_all();
}

void LibraryLog::cutLines(std::size_t stream, Clock::time_point now) {
    auto& partial = partial_[stream];
    // A piece of a mark still on its way must not be cut into a line of its own.
    const auto pendingMark = unfinishedMark(partial);
    const std::size_t limit = pendingMark == std::string::npos ? partial.size() : pendingMark;
    std::size_t begin = 0;
    for (;;) {
        const auto end = partial.find('\n', begin);
        const std::size_t available = std::min(end, limit) - begin;
        if (end < limit && available <= longestLine) {
            addLine(cleaned(std::string_view(partial).substr(begin, available)), now);
            begin = end + 1;
        } else if (available >= longestLine) {
            addLine(cleaned(std::string_view(partial).substr(begin, longestLine)), now);
            begin += longestLine;
        } else {
            break;
        }
    }
    partial.erase(0, begin);
    if (begin > 0) partialSince_[stream] = now;
}

void LibraryLog::addLine(std::string text, Clock::time_point now) {
    if (text.empty()) return;
    ++lines_;
    const double seconds = secondsSinceStart(now);
    const auto found = entries_.find(text);
    if (found != entries_.end()) {
        Entry& entry = found->second;
        ++entry.shown.count;
        entry.shown.lastSeconds = seconds;
        if (entry.unwritten++ == 0) entry.unwrittenSince = seconds;
        recency_.splice(recency_.end(), recency_, entry.recency);
        return;
    }
    if (entries_.size() >= mostEntries) {
        const auto oldest = entries_.find(recency_.front());
        writeRepeats(oldest->second, seconds);
        entries_.erase(oldest);
        recency_.pop_front();
    }
    recency_.push_back(text);
    Entry entry;
    entry.shown = {text, seconds, seconds, 1};
    entry.recency = std::prev(recency_.end());
    writeLine("%10.3f s  %s\n", seconds, text.c_str());
    fresh_.push_back(text);
    entries_.emplace(std::move(text), std::move(entry));
}

void LibraryLog::writeRepeats(Entry& entry, double seconds) {
    if (entry.unwritten == 0) return;
    writeLine("%10.3f s  x%llu (%.3f .. %.3f s)  %s\n", seconds, static_cast<unsigned long long>(entry.unwritten),
              entry.unwrittenSince, entry.shown.lastSeconds, entry.shown.text.c_str());
    entry.unwritten = 0;
}

void LibraryLog::writeLine(const char* format, ...) {
    if (file_ == nullptr) return;
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vfprintf(file_, format, arguments);
    va_end(arguments);
    if (written < 0 || std::fflush(file_) != 0) writeFailed_ = true;
}

void LibraryLog::settle(Clock::time_point now, Clock::duration quiet) {
    const std::lock_guard lock(mutex_);
    for (std::size_t stream = 0; stream < streams; ++stream) {
        auto& partial = partial_[stream];
        if (partial.empty() || now - partialSince_[stream] < quiet || unfinishedMark(partial) != std::string::npos) {
            continue;
        }
        addLine(cleaned(partial), now);
        partial.clear();
    }
    if (now < nextRepeatReport_) return;
    nextRepeatReport_ = now + repeatReport;
    const double seconds = secondsSinceStart(now);
    for (const auto& text : recency_) writeRepeats(entries_.at(text), seconds);
}

void LibraryLog::finish(Clock::time_point now) {
    const std::lock_guard lock(mutex_);
    for (auto& partial : partial_) {
        addLine(cleaned(partial), now);
        partial.clear();
    }
    const double seconds = secondsSinceStart(now);
    for (const auto& text : recency_) writeRepeats(entries_.at(text), seconds);
}

std::vector<LogEntry> LibraryLog::newest(std::size_t count) const {
    const std::lock_guard lock(mutex_);
    std::vector<LogEntry> result;
    for (auto text = recency_.rbegin(); text != recency_.rend() && result.size() < count; ++text) {
        result.push_back(entries_.at(*text).shown);
    }
    std::reverse(result.begin(), result.end());
    return result;
}

std::vector<LogEntry> LibraryLog::takeNewEntries() {
    const std::lock_guard lock(mutex_);
    std::vector<LogEntry> result;
    for (const auto& text : fresh_) {
        if (const auto found = entries_.find(text); found != entries_.end()) result.push_back(found->second.shown);
    }
    fresh_.clear();
    return result;
}

std::uint64_t LibraryLog::lines() const {
    const std::lock_guard lock(mutex_);
    return lines_;
}

std::size_t LibraryLog::distinct() const {
    const std::lock_guard lock(mutex_);
    return entries_.size();
}

std::uint64_t LibraryLog::linesBeginningWith(std::string_view prefix) const {
    const std::lock_guard lock(mutex_);
    std::uint64_t total = 0;
    for (const auto& [text, entry] : entries_) {
        if (std::string_view(text).substr(0, prefix.size()) == prefix) total += entry.shown.count;
    }
    return total;
}

std::string LibraryLog::syncMark(std::uint64_t id) {
    return std::string(markStart) + std::to_string(id) + markEnd;
}

bool LibraryLog::waitForMark(std::uint64_t id, unsigned which, Clock::duration timeout) {
    std::unique_lock lock(mutex_);
    return marks_.wait_for(lock, timeout, [&] {
        for (std::size_t stream = 0; stream < streams; ++stream) {
            if ((which & (1u << stream)) != 0 && lastMark_[stream] < id) return false;
        }
        return true;
    });
}

}  // namespace tarvelin::console
