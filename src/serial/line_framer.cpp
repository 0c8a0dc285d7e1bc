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

int LineFramer::parse(Clock::time_point now) {
    bool accepted = false;
    for (;;) {
        const std::size_t before = buffer_.size();
        if (FrameParser(buffer_, queue_, assembler_, versionAtLeast328_) != 0) accepted = true;
        consumed_ += before - buffer_.size();
        forgetConsumed();
        // Fewer bytes than the shortest frame hold nothing back; they wait for their rest.
        if (buffer_.size() < shortFrameLength) break;
        // Sent in one go, the bytes from the waiting frame's start on would all be here by now.
        const auto lineTime = byteTime * static_cast<std::int64_t>(buffer_.size()) + margin;
        if (now - arrivals_.front().time <= lineTime) break;
        buffer_.erase(buffer_.begin());
        ++consumed_;
        forgetConsumed();
    }
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
