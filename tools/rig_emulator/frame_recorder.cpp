#include "frame_recorder.h"

#include <algorithm>

namespace rig_emulator {

namespace {

// Keeps the records of a long run bounded; tests clear them long before.
constexpr std::size_t recordLimit = 200000;

std::size_t frameLength(const Bytes& pending) {
    switch (pending[0]) {
        case 0xF9: return 8;
        case 0xF8: return 38;
        case 0xFB: return 78;
        case 0xFC: return 36;
        case 0xFA:
        case 0xFE: return pending.size() < 4 ? 0 : static_cast<std::size_t>(pending[2] | (pending[3] << 8)) + 6;
        default: return 0;
    }
}

bool isLead(std::uint8_t byte) {
    return byte == 0xF8 || byte == 0xF9 || byte == 0xFA || byte == 0xFB || byte == 0xFC || byte == 0xFE;
}

}  // namespace

void FrameRecorder::receive(std::span<const std::uint8_t> bytes, Clock::time_point now, std::vector<Bytes>& answers) {
    std::lock_guard lock(mutex_);
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    scan(now, answers);
}

void FrameRecorder::endDatagram() {
    std::lock_guard lock(mutex_);
    ++counts_.datagrams;
    counts_.strayBytes += pending_.size();
    pending_.clear();
}

void FrameRecorder::setReply(Bytes reply, bool firstOfBurstOnly) {
    std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
    firstOfBurstOnly_ = firstOfBurstOnly;
}

void FrameRecorder::restart(Clock::time_point start) {
    std::lock_guard lock(mutex_);
    start_ = start;
    reply_.clear();
    firstOfBurstOnly_ = false;
    lastAnswer_ = {};
    pending_.clear();
    counts_ = {};
    frames_.clear();
    messages_.clear();
    lastFrame_ = {};
    recentFrames_.clear();
    assemblies_.clear();
}

void FrameRecorder::clear() {
    std::lock_guard lock(mutex_);
    counts_ = {};
    frames_.clear();
    messages_.clear();
    lastFrame_ = {};
    recentFrames_.clear();
}

void FrameRecorder::keepFrames(bool keep) {
    std::lock_guard lock(mutex_);
    keepFrames_ = keep;
}

Counts FrameRecorder::counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

std::vector<Bytes> FrameRecorder::frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

std::vector<Bytes> FrameRecorder::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

ReceivedFrame FrameRecorder::lastFrame() const {
    std::lock_guard lock(mutex_);
    return lastFrame_;
}

std::vector<ReceivedFrame> FrameRecorder::framesAfter(std::size_t number) const {
    std::lock_guard lock(mutex_);
    std::vector<ReceivedFrame> frames;
    for (const auto& frame : recentFrames_) {
        if (frame.number > number) frames.push_back(frame);
    }
    return frames;
}

double FrameRecorder::millisecondsSinceStart(Clock::time_point moment) const {
    std::lock_guard lock(mutex_);
    return std::chrono::duration<double, std::milli>(moment - start_).count();
}

void FrameRecorder::scan(Clock::time_point now, std::vector<Bytes>& answers) {
    while (pending_.size() >= 2) {
        if (!isLead(pending_[0]) || pending_[1] != pending_[0]) {
            ++counts_.strayBytes;
            pending_.erase(pending_.begin());
            continue;
        }
        const std::size_t length = frameLength(pending_);
        if (length == 0 || pending_.size() < length) return;
        const Bytes frame(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
        const bool checked = crc16({frame.data(), length - 2}) == (frame[length - 2] | (frame[length - 1] << 8));
        const bool placeholderAllowed = placeholder_ == Placeholder::everyFrame || frame[0] == 0xF9 || frame[0] == 0xF8;
        const bool unchecked = placeholderAllowed && frame[length - 2] == 0x0A && frame[length - 1] == 0x0D;
        if (!checked && !unchecked) {
            ++counts_.badFrames;
            pending_.erase(pending_.begin());
            continue;
        }
        ++counts_.goodFrames;
        if (!checked) ++counts_.uncheckedFrames;
        if (keepFrames_ && frames_.size() < recordLimit) frames_.push_back(frame);
        lastFrame_.bytes = frame;
        lastFrame_.number = counts_.goodFrames;
        lastFrame_.arrival = now;
        lastFrame_.milliseconds = std::chrono::duration<double, std::milli>(now - start_).count();
        if (recentFrames_.size() == recentFrameCount) recentFrames_.pop_front();
        recentFrames_.push_back(lastFrame_);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
        handleFrame(frame, now, answers);
    }
}

void FrameRecorder::handleFrame(const Bytes& frame, Clock::time_point now, std::vector<Bytes>& answers) {
    if (frame[0] == 0xF9 && frame[2] == 0x01 && frame[3] == 0 && frame[4] == 0 && frame[5] == 0) {
        ++counts_.identificationRequests;
        const bool answer = !reply_.empty() && (!firstOfBurstOnly_ || now - lastAnswer_ > std::chrono::milliseconds(100));
        if (answer) {
            lastAnswer_ = now;
            answers.push_back(reply_);
        }
        return;
    }
    if (frame[0] != 0xFA || frame.size() < 14 || frame[4] != 0x00 || frame[5] != 0xF1) return;
    const std::uint16_t id = static_cast<std::uint16_t>(frame[6] | (frame[7] << 8));
    const std::uint16_t index = static_cast<std::uint16_t>(frame[8] | (frame[9] << 8));
    const std::uint16_t count = static_cast<std::uint16_t>(frame[10] | (frame[11] << 8));
    auto assembly = std::find_if(assemblies_.begin(), assemblies_.end(), [id](const Assembly& a) { return a.id == id; });
    if (assembly == assemblies_.end()) {
        assemblies_.push_back({id, count, std::vector<Bytes>(count), std::vector<bool>(count, false)});
        assembly = assemblies_.end() - 1;
    }
    if (index >= assembly->count) return;
    assembly->chunks[index].assign(frame.begin() + 12, frame.end() - 2);
    assembly->have[index] = true;
    if (std::find(assembly->have.begin(), assembly->have.end(), false) != assembly->have.end()) return;
    Bytes payload;
    for (const auto& chunk : assembly->chunks) payload.insert(payload.end(), chunk.begin(), chunk.end());
    Bytes message{0xFA, 0xFA, static_cast<std::uint8_t>(payload.size() & 0xFF), static_cast<std::uint8_t>(payload.size() >> 8)};
    message.insert(message.end(), payload.begin(), payload.end());
    message.push_back(0x0A);
    message.push_back(0x0D);
    messages_.push_back(std::move(message));
    assemblies_.erase(assembly);
}

}  // namespace rig_emulator
