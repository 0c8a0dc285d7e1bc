#include "serial/line_framer.h"

#include "serial/frame_parser.h"

namespace tarvelin::serial {

LineFramer::LineFramer(MessageQueue& queue, std::atomic<std::int32_t>& versionAtLeast328)
    : queue_(queue), versionAtLeast328_(versionAtLeast328), assembler_(queue) {}

void LineFramer::append(std::span<const std::uint8_t> bytes, Clock::time_point now) {
    if (bytes.empty()) return;
    // Several reads of one pass share their time; one record covers them all.
    if (arrivals_.empty() || arrivals_.back().time != now) arrivals_.push_back({consumed_ + buffer_.size(), now});
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

int LineFramer::parse(Clock::time_point now, bool caughtUp) {
    bool accepted = false;
    std::size_t done = 0;     // bytes at the buffer's front that are dealt with
    std::size_t arrival = 0;  // the read that brought the byte at `done`
    for (;;) {
        const ParsedFrames parsed =
            parseFrames(std::span(buffer_).subspan(done), queue_, assembler_, versionAtLeast328_);
        accepted = accepted || parsed.accepted;
        done += parsed.consumed;
        // Fewer bytes than the shortest frame hold nothing back; they wait for their rest.
        const std::size_t left = buffer_.size() - done;
        if (left < shortFrameLength || !caughtUp) break;
        while (arrival + 1 < arrivals_.size() && arrivals_[arrival + 1].offset <= consumed_ + done) ++arrival;
        // Sent in one go, the bytes from the waiting frame's start on would all be here by now.
        if (now - arrivals_[arrival].time <= byteTime * static_cast<std::int64_t>(left) + margin) break;
        // Given up: the next frame start is looked for from its second byte on.
        ++done;
    }
    // Erased once, so that giving up on many frame starts in a row costs one move of the buffer.
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(done));
    consumed_ += done;
    forgetConsumed();
    return accepted ? 1 : 0;
}

void LineFramer::reset() {
    consumed_ += buffer_.size();
    buffer_.clear();
    arrivals_.clear();
    assembler_.reset();
}

void LineFramer::forgetConsumed() {
    if (buffer_.empty()) {
        arrivals_.clear();
        return;
    }
    std::size_t done = 0;
    while (done + 1 < arrivals_.size() && arrivals_[done + 1].offset <= consumed_) ++done;
    arrivals_.erase(arrivals_.begin(), arrivals_.begin() + static_cast<std::ptrdiff_t>(done));
}

}  // namespace tarvelin::serial
