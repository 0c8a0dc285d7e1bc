#include "telemetry_emulator.h"

#include <chrono>

namespace tarvelin::emulator {

TelemetryEmulator::TelemetryEmulator(const GameEncoder& game, std::uint16_t port)
    : game_(game), port_(port == 0 ? game.port : port) {
    if (platform::socketStartup() != 0) return;
    socket_ = platform::openUdpSocket();
    if (socket_ == platform::invalidSocket) platform::socketCleanup();
}

TelemetryEmulator::~TelemetryEmulator() {
    stop();
    if (socket_ == platform::invalidSocket) return;
    platform::closeSocket(socket_);
    platform::socketCleanup();
}

bool TelemetryEmulator::sendFrame(double time) {
    if (socket_ == platform::invalidSocket) return false;
    const auto datagram = game_.encode(script_.at(time));
    const long sent = platform::sendTo(socket_, datagram.data(), datagram.size(),
                                       platform::SocketAddress{platform::loopbackIpv4, port_});
    return sent == static_cast<long>(datagram.size());
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
    for (std::uint64_t n = 0; running_.load(); ++n) {
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
