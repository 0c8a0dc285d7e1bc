#pragma once
// Plays a game: publishes the drive script, encoded as that game's telemetry, through the game's
// own channel (datagrams to a loopback port, a named shared-memory block, a TCP server) at the
// game's rate, with a process under the game's executable name where detection looks for one.
// Usable in-process (tests, demos) and by the command-line program beside it.

#include <atomic>
#include <chrono>
#include <functional>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "drive_script.h"
#include "game_encoder.h"
#include "game_process.h"

namespace tarvelin::emulator {

struct EmulatorOptions {
    std::uint16_t port = 0;   // 0: the game's own port
    bool gameProcess = true;  // run a process under the game's executable name, if it has one
};

class TelemetryEmulator {
public:
    explicit TelemetryEmulator(const GameEncoder& game, EmulatorOptions options = {});
    // Sends to 127.0.0.1:port; port 0 means the game's own port.
    TelemetryEmulator(const GameEncoder& game, std::uint16_t port) : TelemetryEmulator(game, EmulatorOptions{port}) {}
    ~TelemetryEmulator();
    TelemetryEmulator(const TelemetryEmulator&) = delete;
    TelemetryEmulator& operator=(const TelemetryEmulator&) = delete;

    // Whether the game's channel could be opened and its process, if any, runs.
    bool ready() const { return feed_ != nullptr && feed_->ready() && (process_ == nullptr || process_->visible()); }

    // Publishes the frame of script time `time` at once: true when it went out.
    bool sendFrame(double time);

    // Publishes frames at the game's rate on a thread of its own, script time starting at 0 (or
    // where an earlier run stopped, or where seek put it), until stop. Frames are timed against
    // the steady clock, so a late frame does not shift the ones after it.
    void start();
    void stop();

    // What the game says of itself from the next frame on (any thread). Live at first.
    void setStatus(GameStatus status) { status_.store(status); }
    GameStatus status() const { return status_.load(); }

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

    // Frames published so far by start (any thread).
    std::uint64_t framesSent() const { return framesSent_.load(); }

    const DriveScript& script() const { return script_; }
    const GameEncoder& game() const { return game_; }
    // The port the frames go to (0 for a shared-memory game).
    std::uint16_t port() const { return port_; }
    // Where the frames go, for the user.
    std::string destination() const { return feed_ != nullptr ? feed_->destination() : std::string(); }

private:
    void run();

    const GameEncoder& game_;
    std::uint16_t port_;
    DriveScript script_;
    std::unique_ptr<GameProcess> process_;
    std::unique_ptr<GameFeed> feed_;
    std::atomic<GameStatus> status_{GameStatus::live};
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> framesSent_{0};
    double origin_ = 0.0;
    std::uint64_t nextFrame_ = 0;  // index of the next frame start sends, counted from origin_
    SentObserver sentObserver_;
    std::thread thread_;
};

}  // namespace tarvelin::emulator
