#include "host_console/library_capture.h"

namespace tarvelin::console {

namespace {

constexpr platform::StandardStream standardStreams[LibraryLog::streams] = {platform::StandardStream::output,
                                                                          platform::StandardStream::error};

std::FILE* cStream(std::size_t stream) { return stream == 0 ? stdout : stderr; }

}  // namespace

bool LibraryCapture::start() {
    for (std::size_t stream = 0; stream < LibraryLog::streams; ++stream) {
        if (!captures_[stream].begin(standardStreams[stream])) continue;
        captured_ |= 1u << stream;
        readers_[stream] = std::thread([this, stream] { drain(stream); });
    }
    return captured_ != 0;
}

std::FILE* LibraryCapture::output() const {
    return captures_[0].original() != nullptr ? captures_[0].original() : stdout;
}

std::FILE* LibraryCapture::errors() const {
    return captures_[1].original() != nullptr ? captures_[1].original() : stderr;
}

void LibraryCapture::drain(std::size_t stream) {
    char buffer[4096];
    for (long count; (count = captures_[stream].read(buffer, sizeof buffer)) > 0;) {
        log_.take(stream, std::string_view(buffer, static_cast<std::size_t>(count)));
    }
}

bool LibraryCapture::sync(std::chrono::milliseconds timeout) {
    if (captured_ == 0) return true;
    const auto id = ++lastMark_;
    const std::string mark = LibraryLog::syncMark(id);
    for (std::size_t stream = 0; stream < LibraryLog::streams; ++stream) {
        if ((captured_ & (1u << stream)) != 0) std::fputs(mark.c_str(), cStream(stream));
    }
    return log_.waitForMark(id, captured_, timeout);
}

void LibraryCapture::stop() {
    for (std::size_t stream = 0; stream < LibraryLog::streams; ++stream) {
        if ((captured_ & (1u << stream)) == 0) continue;
        captures_[stream].end();
        readers_[stream].join();
    }
    captured_ = 0;
    log_.finish();
}

}  // namespace tarvelin::console
