#include "telemetry_emulator.h"

#include <chrono>

namespace tarvelin::emulator {

TelemetryEmulator::TelemetryEmulator(const GameEncoder& game, EmulatorOptions options)
    : game_(game), port_(options.port == 0 ? game.port : options.port) {
    if (options.gameProcess && game.executableName != nullptr) {
        process_ = std::make_unique<GameProcess>(game.executableName);
    }
    feed_ = game.openFeed(port_);
}

TelemetryEmulator::~TelemetryEmulator() { stop(); }

bool TelemetryEmulator::sendFrame(double time) {
    return feed_ != nullptr && feed_->publish(script_.at(time), status_.load());
}

void TelemetryEmulator::start() {
    if (running_.exchange(true)) return;
    thread_ = std::thread([this] { run(); });
}

void TelemetryEmulator::stop() {
    running_.store(false);
    if (thread_.joinable()) thread_.join();
}

void TelemetryEmulator::seek(double time) {
    if (running_.load()) return;
    origin_ = time;
    nextFrame_ = 0;
}

void TelemetryEmulator::run() {
    const auto period = std::chrono::duration<double>(1.0 / game_.framesPerSecond);
    const auto begin = std::chrono::steady_clock::now();
    auto nextProcessLook = begin;
    for (std::uint64_t n = 0; running_.load(); ++n) {
        if (process_ != nullptr && std::chrono::steady_clock::now() >= nextProcessLook) {
            process_->keepRunning();
            nextProcessLook += std::chrono::seconds(1);
        }
        // Nobody may be listening yet (the engine binds the port only once it found the game),
        // so a refused datagram is not an error here.
        const double time = frameTime(nextFrame_++);
        sendFrame(time);
        if (sentObserver_) sentObserver_(time, std::chrono::steady_clock::now());
        framesSent_.fetch_add(1);
        std::this_thread::sleep_until(begin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                  period * static_cast<double>(n + 1)));
    }
}

}  // namespace tarvelin::emulator
