#pragma once
// A first-in first-out queue of messages, safe for any number of producer and consumer threads.
//
// Every operation takes the queue's own lock for a few moves and releases it before returning;
// no operation calls out while holding it, so it never nests with another lock. The messages
// live in a ring of buffers that keep their capacity when emptied, and consumers swap their own
// buffer in for the one they take, so a queue in steady use (the engine queues one motion frame
// every 2 ms) allocates nothing.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "serial/rig_frames.h"

namespace tarvelin::serial {

class MessageQueue {
public:
    // Appends a copy of `bytes` when fewer than `limit` messages are held; true when appended.
    bool pushIfBelow(std::size_t limit, std::span<const std::uint8_t> bytes);
    // Appends a copy of `bytes` whatever the queue holds.
    void push(std::span<const std::uint8_t> bytes);
    // Appends a copy of `bytes`; when `limit` messages are held already, the oldest is dropped
    // first and counted, so that a reader who falls behind finds the newest messages.
    void pushDroppingOldest(std::size_t limit, std::span<const std::uint8_t> bytes);

    // Moves the first message into `out` and removes it; false when the queue is empty. The
    // buffer `out` held before is kept by the queue for a later message.
    bool takeFront(Message& out);
    // Copies the first message into `out` and leaves it queued; false when the queue is empty.
    bool copyFront(Message& out) const;

    // One step of the repetition of the newest message of an auto-send queue, done as one
    // unit: when more than one message is held the first is dropped and the count restarts at 0;
    // otherwise, once the message has gone out more than ten times, it is dropped and the count
    // restarts at 1; otherwise the count goes up by one.
    void advanceRepetition(std::int32_t& repeatCount);

    std::size_t size() const;
    bool empty() const { return size() == 0; }
    void clear();
    // The messages pushDroppingOldest has dropped since the queue was made.
    std::size_t dropped() const;

private:
    void pushLocked(std::span<const std::uint8_t> bytes);
    void dropFrontLocked();

    mutable std::mutex mutex_;
    std::vector<Message> slots_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::size_t dropped_ = 0;
};

}  // namespace tarvelin::serial
