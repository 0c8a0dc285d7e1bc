#include "nolimits2_encoder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "byte_writer.h"
#include "platform/socket.h"

namespace tarvelin::emulator {

namespace {

constexpr double gravity = 9.80665;

constexpr std::uint16_t idleRequest = 0;
constexpr std::uint16_t okAnswer = 1;
constexpr std::uint16_t errorAnswer = 2;
constexpr std::uint16_t telemetryRequest = 5;
constexpr std::uint16_t telemetryAnswer = 6;
constexpr std::size_t headerSize = 9;
constexpr std::uint32_t inPlayMode = 1;
constexpr std::size_t maximumRequest = 256;

struct Quaternion {
    double w, x, y, z;
};

Quaternion operator*(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

// A turn by `angle` (rad, right-handed) about the unit axis (x, y, z).
Quaternion turn(double angle, double x, double y, double z) {
    const double s = std::sin(angle / 2.0);
    return {std::cos(angle / 2.0), x * s, y * s, z * s};
}

// A message of the server's framing: 'N', type, request id, data size, data, 'L'.
std::vector<std::uint8_t> message(std::uint16_t type, std::uint32_t requestId, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> bytes(headerSize + data.size() + 1);
    bytes[0] = 'N';
    putInt16<ByteOrder::big>(bytes, 1, static_cast<std::int16_t>(type));
    putInt32<ByteOrder::big>(bytes, 3, static_cast<std::int32_t>(requestId));
    putInt16<ByteOrder::big>(bytes, 7, static_cast<std::int16_t>(data.size()));
    std::copy(data.begin(), data.end(), bytes.begin() + headerSize);
    bytes.back() = 'L';
    return bytes;
}

// The server: it accepts any number of connections (detection's probe, then the engine's reader)
// and answers every whole request on each; one thread serves them all.
class TelemetryServerFeed : public GameFeed {
public:
    explicit TelemetryServerFeed(std::uint16_t port) : port_(port) {
        if (platform::socketStartup() != 0) return;
        listener_ = platform::openTcpSocket();
        // A connection of an earlier run may linger in TIME_WAIT on the game's fixed port.
        if (listener_ == platform::invalidSocket || !platform::setReuseAddress(listener_) ||
            !platform::bindSocket(listener_, {platform::loopbackIpv4, port}) || !platform::listenSocket(listener_, 8)) {
            if (listener_ != platform::invalidSocket) platform::closeSocket(listener_);
            listener_ = platform::invalidSocket;
            platform::socketCleanup();
            return;
        }
        thread_ = std::thread([this] { serve(); });
    }

    ~TelemetryServerFeed() override {
        running_.store(false);
        if (thread_.joinable()) thread_.join();
        if (listener_ == platform::invalidSocket) return;
        platform::closeSocket(listener_);
        platform::socketCleanup();
    }

    TelemetryServerFeed(const TelemetryServerFeed&) = delete;
    TelemetryServerFeed& operator=(const TelemetryServerFeed&) = delete;

    bool ready() const override { return listener_ != platform::invalidSocket; }

    // A paused ride keeps its last frame and frame number; out of play mode the server reports
    // state 0.
    bool publish(const VehicleMotion& motion, GameStatus status) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (status == GameStatus::paused && frameNumber_ > 0) return true;
        if (status == GameStatus::live) ++frameNumber_;
        const bool playing = status == GameStatus::live || status == GameStatus::paused;
        frame_ = encodeNoLimitsTelemetry(motion, frameNumber_, playing ? inPlayMode : 0, 0);
        return true;
    }

    std::string destination() const override { return "TCP server 127.0.0.1:" + std::to_string(port_); }

private:
    struct Connection {
        platform::SocketHandle socket;
        std::vector<std::uint8_t> pending;
    };

    void serve() {
        std::vector<Connection> connections;
        while (running_.load()) {
            // The wait on the listener paces the loop: requests are answered within a millisecond.
            if (platform::waitReadable(listener_, std::chrono::microseconds(1000)) == 1) {
                const platform::SocketHandle accepted = platform::acceptConnection(listener_);
                if (accepted != platform::invalidSocket && platform::setNonBlocking(accepted)) {
                    connections.push_back({accepted, {}});
                } else if (accepted != platform::invalidSocket) {
                    platform::closeSocket(accepted);
                }
            }
            std::erase_if(connections, [this](Connection& connection) {
                if (serveOnce(connection)) return false;
                platform::closeSocket(connection.socket);
                return true;
            });
        }
        for (const Connection& connection : connections) platform::closeSocket(connection.socket);
    }

    // Takes what the connection sent and answers every whole request: false once it closed.
    bool serveOnce(Connection& connection) {
        while (platform::waitReadable(connection.socket, std::chrono::microseconds(0)) == 1) {
            std::uint8_t buffer[512];
            const long received = platform::receive(connection.socket, buffer, sizeof buffer);
            if (received < 1) return false;
            connection.pending.insert(connection.pending.end(), buffer, buffer + received);
        }
        auto& pending = connection.pending;
        std::size_t taken = 0;
        while (pending.size() - taken >= headerSize + 1) {
            const std::uint8_t* request = pending.data() + taken;
            const std::size_t length = headerSize + (static_cast<std::size_t>(request[7]) << 8 | request[8]) + 1;
            // Requests carry little or no data; anything else is skipped byte by byte.
            if (request[0] != 'N' || length > maximumRequest) {
                ++taken;
                continue;
            }
            if (pending.size() - taken < length) break;
            if (request[length - 1] != 'L') {
                ++taken;
                continue;
            }
            answer(connection.socket, static_cast<std::uint16_t>(request[1] << 8 | request[2]),
                   static_cast<std::uint32_t>(request[3]) << 24 | static_cast<std::uint32_t>(request[4]) << 16 |
                       static_cast<std::uint32_t>(request[5]) << 8 | request[6]);
            taken += length;
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(taken));
        return true;
    }

    void answer(platform::SocketHandle socket, std::uint16_t type, std::uint32_t requestId) {
        std::vector<std::uint8_t> bytes;
        if (type == idleRequest) {
            bytes = message(okAnswer, requestId, {});
        } else if (type == telemetryRequest) {
            std::lock_guard<std::mutex> lock(mutex_);
            bytes.assign(frame_.begin(), frame_.end());
            putInt32<ByteOrder::big>(bytes, 3, static_cast<std::int32_t>(requestId));
        } else {
            static constexpr char text[] = "unknown request";
            bytes = message(errorAnswer, requestId,
                            std::span(reinterpret_cast<const std::uint8_t*>(text), sizeof text - 1));
        }
        // A client that stops reading loses answers rather than stalling the server.
        platform::send(socket, bytes.data(), bytes.size());
    }

    std::uint16_t port_;
    platform::SocketHandle listener_ = platform::invalidSocket;
    std::atomic<bool> running_{true};
    std::thread thread_;
    std::mutex mutex_;
    std::uint32_t frameNumber_ = 0;
    // Until the first frame the server reports no ride.
    std::array<std::uint8_t, 86> frame_ = encodeNoLimitsTelemetry(VehicleMotion{}, 0, 0, 0);
};

std::unique_ptr<GameFeed> openTelemetryServer(std::uint16_t port) {
    return std::make_unique<TelemetryServerFeed>(port);
}

}  // namespace

std::array<std::uint8_t, 86> encodeNoLimitsTelemetry(const VehicleMotion& m, std::uint32_t frameNumber,
                                                     std::uint32_t state, std::uint32_t requestId) {
    std::array<std::uint8_t, 86> frame{};
    const std::span<std::uint8_t> bytes(frame);
    bytes[0] = 'N';
    putInt16<ByteOrder::big>(bytes, 1, telemetryAnswer);
    putInt32<ByteOrder::big>(bytes, 3, static_cast<std::int32_t>(requestId));
    putInt16<ByteOrder::big>(bytes, 7, 76);
    putInt32<ByteOrder::big>(bytes, 9, static_cast<std::int32_t>(state));
    putInt32<ByteOrder::big>(bytes, 13, static_cast<std::int32_t>(frameNumber));
    // Words 2 to 7, which view and seat the values belong to, stay 0.
    putFloat<ByteOrder::big>(bytes, 41, std::sqrt(m.lateralSpeed * m.lateralSpeed +
                                                  m.longitudinalSpeed * m.longitudinalSpeed +
                                                  m.verticalSpeed * m.verticalSpeed));
    putFloat<ByteOrder::big>(bytes, 45, m.worldX);
    putFloat<ByteOrder::big>(bytes, 49, m.worldZ);
    putFloat<ByteOrder::big>(bytes, 53, -m.worldY);
    // Heading clockwise seen from above is a turn about y against the right hand; then pitch nose
    // up about the car's x (to its right), then roll right side up about its z (to its back).
    const Quaternion orientation =
        turn(-m.yaw, 0.0, 1.0, 0.0) * turn(m.pitch, 1.0, 0.0, 0.0) * turn(m.roll, 0.0, 0.0, 1.0);
    putFloat<ByteOrder::big>(bytes, 57, orientation.x);
    putFloat<ByteOrder::big>(bytes, 61, orientation.y);
    putFloat<ByteOrder::big>(bytes, 65, orientation.z);
    putFloat<ByteOrder::big>(bytes, 69, orientation.w);
    // The riders feel the acceleration and the seat holding them up against gravity.
    const double lateral = m.lateralAccel + gravity * std::cos(m.pitch) * std::sin(m.roll);
    const double longitudinal = m.longitudinalAccel + gravity * std::sin(m.pitch);
    const double vertical = m.verticalAccel + gravity * std::cos(m.pitch) * std::cos(m.roll);
    putFloat<ByteOrder::big>(bytes, 73, -lateral / gravity);
    putFloat<ByteOrder::big>(bytes, 77, vertical / gravity);
    putFloat<ByteOrder::big>(bytes, 81, longitudinal / gravity);
    bytes[85] = 'L';
    return frame;
}

const GameEncoder noLimits2Encoder{"nolimits2", "NoLimits2", 60.0, Transport::tcpServer, 15151, nullptr,
                                   openTelemetryServer};

}  // namespace tarvelin::emulator
