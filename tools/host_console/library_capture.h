#pragma once
// Takes the library's own console lines out of the console's screen: the process's standard
// output and error (which the library, loaded into this process, prints to) are captured, and a
// reading thread per stream hands what arrives to a LibraryLog. The console's own output goes
// to the streams' original places instead.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

#include "host_console/library_log.h"
#include "platform/stream_capture.h"

namespace tarvelin::console {

class LibraryCapture {
public:
    explicit LibraryCapture(LibraryLog& log) : log_(log) {}
    ~LibraryCapture() { stop(); }
    LibraryCapture(const LibraryCapture&) = delete;
    LibraryCapture& operator=(const LibraryCapture&) = delete;

    // Captures both streams. False when neither could be captured: the library's lines then
    // go where they always went. Call from the main thread before the library prints.
    bool start();

    // Where the console's own output and errors go: the original standard streams.
    std::FILE* output() const;
    std::FILE* errors() const;

    LibraryLog& log() { return log_; }

    // Returns once everything written to the captured streams before the call is in the log;
    // false when that took longer than `timeout`.
    bool sync(std::chrono::milliseconds timeout = std::chrono::seconds(1));

    // Gives the streams back and takes what is still on its way. Call when nothing prints any
    // more (every thread that runs library code has stopped).
    void stop();

private:
    void drain(std::size_t stream);

    LibraryLog& log_;
    platform::StreamCapture captures_[LibraryLog::streams];
    std::thread readers_[LibraryLog::streams];
    unsigned captured_ = 0;  // bit per stream
    std::uint64_t lastMark_ = 0;
};

}  // namespace tarvelin::console
