#pragma once
// Cuts the rig controller's byte stream on the serial line into frames, and gives up on a frame
// whose bytes stop coming.
//
// FrameParser keeps a frame that has begun until the rest of it arrives: an F8 or FB frame, or
// one whose length field claims more bytes than have come so far. Every good frame behind it
// waits with it. A board writes a frame in one go, so its bytes follow each other at the line's
// rate; once the bytes from a waiting frame's start on have taken longer to come than the line
// needs for them plus a margin (for the USB adapter's packets and the loop's passes), that frame
// cannot be what its start claims. Its first byte is then dropped and the parser looks for the
// next frame start, as it does after a bad check field. So a stray length claim holds the frames
// behind it back for about the margin, where it would otherwise hold them until enough further
// bytes had come to fill it.
//
// The bytes are stamped when they are read, not when they came, so a reader that fell behind
// (a loop pass delayed by a loaded machine) must have read everything the line holds before the
// framer judges: then every byte of a frame sent at the line's rate since its start is here, and
// a late pass cannot make a good frame look overdue.
//
// Pure: the caller says when the bytes came. One per receiving thread; not thread-safe itself,
// only its queue is.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "serial/fragment_assembler.h"
#include "serial/message_queue.h"

namespace tarvelin::serial {

class LineFramer {
public:
    using Clock = std::chrono::steady_clock;
    // At 250000 baud one byte (start bit, 8 data bits, stop bit) takes 40 µs.
    static constexpr std::chrono::microseconds byteTime{40};
    static constexpr std::chrono::milliseconds margin{100};

    // Frames go to `queue` (fragments through an assembler of the framer's own); a version reply
    // sets `versionAtLeast328` (see FrameParser).
    LineFramer(MessageQueue& queue, std::atomic<std::int32_t>& versionAtLeast328);

    // Takes bytes read from the line at `now`.
    void append(std::span<const std::uint8_t> bytes, Clock::time_point now);

    // Cuts the bytes taken so far into frames as FrameParser does. With `caughtUp` (every byte
    // the line had delivered by `now` has been taken) it also drops the start of a waiting frame
    // whose bytes have not kept pace with the line. Without it nothing is given up: bytes still
    // unread may be the very ones the frame waits for. Returns 1 when at least one frame was
    // accepted, else 0.
    int parse(Clock::time_point now, bool caughtUp = true);

    // Forgets the bytes and the partial message: a new connection's stream starts afresh.
    void reset();

    // The bytes kept for a frame that has not yet come whole.
    std::size_t waiting() const { return buffer_.size(); }

private:
    // Where in the stream the bytes of one read begin, and when they were read.
    struct Arrival {
        std::uint64_t offset;
        Clock::time_point time;
    };

    void forgetConsumed();

    MessageQueue& queue_;
    std::atomic<std::int32_t>& versionAtLeast328_;
    FragmentAssembler assembler_;
    std::vector<std::uint8_t> buffer_;
    // The reads whose bytes are still in the buffer, oldest first; the first one holds the
    // buffer's first byte.
    std::vector<Arrival> arrivals_;
    // The stream offset of the buffer's first byte.
    std::uint64_t consumed_ = 0;
};

}  // namespace tarvelin::serial
