#pragma once
// Plays a game: sends the drive script, encoded as that game's telemetry, to a UDP port on the
// loopback address at the game's rate. Usable in-process (tests, demos) and by the command-line
// program beside it.

#include <atomic>
#include <chrono>
#include <functional>
#include <cstdint>
#include <thread>

#include "drive_script.h"
#include "game_encoder.h"
#include "platform/socket.h"

namespace tarvelin::emulator {

class TelemetryEmulator {
public:
    // Sends to 127.0.0.1:port; port 0 means the game's own port.
    explicit TelemetryEmulator(const GameEncoder& game, std::uint16_t port = 0);
    ~TelemetryEmulator();
    TelemetryEmulator(const TelemetryEmulator&) = delete;
    TelemetryEmulator& operator=(const TelemetryEmulator&) = delete;

    // Whether the sending socket could be opened.
    bool ready() const { return socket_ != platform::invalidSocket; }

    // Sends the frame of script time `time` at once: true when the datagram left.
    bool sendFrame(double time);

    // Sends frames at the game's rate on a thread of its own, script time starting at 0 (or
    // where an earlier run stopped, or where seek put it), until stop. Frames are timed against
    // the steady clock, so a late frame does not shift the ones after it.
    void start();
    void stop();

    // Makes the next start play from script time `time`. Only while stopped.
    void seek(double time);
    // The script time of the `index`th frame counted from the last seek (or from the start of
    // the script): what a frame of start carries, computed exactly as start computes it, so
    // that a receiver can tell which frame it got.
    double frameTime(std::uint64_t index) const {
        return origin_ + static_cast<double>(index) / game_.framesPerSecond;
    }

    // Called on the sending thread after each frame that start sends, with its script time and
    // the moment it left, for a receiver that measures how long frames take. Set while stopped.
    using SentObserver = std::function<void(double time, std::chrono::steady_clock::time_point sent)>;
    void onSent(SentObserver observer) { sentObserver_ = std::move(observer); }

    // Frames sent so far by start (any thread).
    std::uint64_t framesSent() const { return framesSent_.load(); }

    const DriveScript& script() const { return script_; }
    std::uint16_t port() const { return port_; }

private:
    void run();

    const GameEncoder& game_;
    std::uint16_t port_;
    DriveScript script_;
    platform::SocketHandle socket_ = platform::invalidSocket;
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> framesSent_{0};
    double origin_ = 0.0;
    std::uint64_t nextFrame_ = 0;  // index of the next frame start sends, counted from origin_
    SentObserver sentObserver_;
    std::thread thread_;
};

}  // namespace tarvelin::emulator
