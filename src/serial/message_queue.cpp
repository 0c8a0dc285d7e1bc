#include "serial/message_queue.h"

#include <utility>

namespace tarvelin::serial {

void MessageQueue::pushLocked(std::span<const std::uint8_t> bytes) {
    if (count_ == slots_.size()) {
        // Full ring: grow it, keeping the order of the queued messages.
        std::vector<Message> grown(slots_.empty() ? 16 : slots_.size() * 2);
        for (std::size_t i = 0; i < count_; ++i) grown[i] = std::move(slots_[(head_ + i) % slots_.size()]);
        slots_ = std::move(grown);
        head_ = 0;
    }
    slots_[(head_ + count_) % slots_.size()].assign(bytes.begin(), bytes.end());
    ++count_;
}

void MessageQueue::dropFrontLocked() {
    head_ = (head_ + 1) % slots_.size();
    --count_;
}

bool MessageQueue::pushIfBelow(std::size_t limit, std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (count_ >= limit) return false;
    pushLocked(bytes);
    return true;
}

void MessageQueue::push(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    pushLocked(bytes);
}

void MessageQueue::pushDroppingOldest(std::size_t limit, std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    while (count_ != 0 && count_ >= limit) {
        dropFrontLocked();
        ++dropped_;
    }
    pushLocked(bytes);
}

bool MessageQueue::takeFront(Message& out) {
    std::lock_guard lock(mutex_);
    if (count_ == 0) return false;
    std::swap(out, slots_[head_]);
    dropFrontLocked();
    return true;
}

bool MessageQueue::copyFront(Message& out) const {
    std::lock_guard lock(mutex_);
    if (count_ == 0) return false;
    const Message& front = slots_[head_];
    out.assign(front.begin(), front.end());
    return true;
}

void MessageQueue::advanceRepetition(std::int32_t& repeatCount) {
    std::lock_guard lock(mutex_);
    if (count_ > 1) {
        dropFrontLocked();
        repeatCount = 0;
    } else if (repeatCount > 10) {
        if (count_ != 0) dropFrontLocked();
        repeatCount = 1;
    } else {
        ++repeatCount;
    }
}

std::size_t MessageQueue::size() const {
    std::lock_guard lock(mutex_);
    return count_;
}

std::size_t MessageQueue::dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void MessageQueue::clear() {
    std::lock_guard lock(mutex_);
    head_ = 0;
    count_ = 0;
}

}  // namespace tarvelin::serial
