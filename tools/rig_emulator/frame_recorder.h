#pragma once
// What a board does with the bytes it receives, whatever carries them (a serial line or
// datagrams): it cuts them into frames, checks every frame's check field, counts and records
// the good ones, reassembles fragmented FA messages and tells the board what to answer.
// All members are thread-safe.

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <vector>

#include "wire.h"

namespace rig_emulator {

using Clock = std::chrono::steady_clock;

struct Counts {
    std::size_t goodFrames = 0;
    std::size_t badFrames = 0;
    std::size_t strayBytes = 0;  // bytes that could not start a frame
    std::size_t identificationRequests = 0;
    std::size_t uncheckedFrames = 0;  // good frames that ended in 0A 0D instead of their CRC
    std::size_t datagrams = 0;        // datagrams received (boards on the network)
};

struct ReceivedFrame {
    Bytes bytes;                  // empty: no good frame yet
    std::size_t number = 0;       // how many good frames had come with this one
    double milliseconds = 0.0;    // when its last byte came, since the board started
    Clock::time_point arrival{};  // the same moment on the steady clock
};

class FrameRecorder {
public:
    // Which frames may end in 0A 0D instead of their CRC: on a serial line only F9 and F8
    // frames; over UDP every frame, since datagrams carry a checksum of their own and the link
    // leaves the placeholder of its messages as the host wrote it.
    enum class Placeholder { shortFramesOnly, everyFrame };

    explicit FrameRecorder(Placeholder placeholder) : placeholder_(placeholder) {}

    // Takes received bytes; the answers to identification requests among them are appended to
    // `answers`, one per request answered.
    void receive(std::span<const std::uint8_t> bytes, Clock::time_point now, std::vector<Bytes>& answers);
    // A datagram has ended: the bytes it left can never become a frame.
    void endDatagram();

    // The answer to each identification request (empty: none). With `firstOfBurstOnly` only a
    // request more than 100 ms after the last answered one is answered.
    void setReply(Bytes reply, bool firstOfBurstOnly);

    // Forgets everything, the reply included; times count from `start`.
    void restart(Clock::time_point start);
    // Forgets the counts, frames and messages.
    void clear();
    // Whether every good frame is kept for frames() (up to a bound), as tests read them; a board
    // that runs for hours keeps only its counts and the recent frames.
    void keepFrames(bool keep);

    Counts counts() const;
    std::vector<Bytes> frames() const;    // good frames, in order of arrival
    std::vector<Bytes> messages() const;  // reassembled FA messages: FA FA, length, payload, 0A 0D
    ReceivedFrame lastFrame() const;      // cheap enough to poll
    // The good frames numbered above `number`, oldest first, of the last recentFrameCount with
    // their arrival: enough for a poll every 20 ms to see every frame.
    std::vector<ReceivedFrame> framesAfter(std::size_t number) const;
    static constexpr std::size_t recentFrameCount = 1024;
    double millisecondsSinceStart(Clock::time_point moment) const;

private:
    void scan(Clock::time_point now, std::vector<Bytes>& answers);
    void handleFrame(const Bytes& frame, Clock::time_point now, std::vector<Bytes>& answers);

    struct Assembly {
        std::uint16_t id = 0;
        std::uint16_t count = 0;
        std::vector<Bytes> chunks;
        std::vector<bool> have;
    };

    const Placeholder placeholder_;
    mutable std::mutex mutex_;
    Clock::time_point start_ = Clock::now();
    Bytes reply_;
    bool firstOfBurstOnly_ = false;
    Clock::time_point lastAnswer_{};
    Bytes pending_;
    Counts counts_;
    std::vector<Bytes> frames_;
    bool keepFrames_ = true;
    std::vector<Bytes> messages_;
    ReceivedFrame lastFrame_;
    std::deque<ReceivedFrame> recentFrames_;
    std::vector<Assembly> assemblies_;
};

}  // namespace rig_emulator
