#pragma once
// The messages of NoLimits 2's telemetry server. Requests and answers are framed alike, with
// every number big-endian:
//     0  'N'
//     1  message type, 16-bit
//     3  request id, 32-bit (an answer carries the id of the request it answers)
//     7  data size, 16-bit
//     9  the data
//     9 + size  'L'
// The engine sends two requests without data: idle (type 0), to which a running server answers,
// and telemetry (type 5), answered by a telemetry message (type 6) with 76 bytes of data.
//
// Pure: no I/O, no clock, no allocation.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tarvelin {

inline constexpr std::uint16_t noLimitsPort = 15151;

enum NoLimitsMessageType : std::uint16_t {
    noLimitsIdle = 0,
    noLimitsTelemetryRequest = 5,
    noLimitsTelemetry = 6,
};

// 'N', type, request id and data size: what precedes the data.
inline constexpr std::size_t noLimitsHeaderSize = 9;
inline constexpr std::size_t noLimitsTelemetryDataSize = 76;
inline constexpr std::size_t noLimitsTelemetryMessageSize = noLimitsHeaderSize + noLimitsTelemetryDataSize + 1;

// A message without data: 'N', type, request id, size 0, 'L'.
std::array<std::uint8_t, 10> noLimitsRequest(std::uint16_t type, std::uint32_t requestId);

// The 19 words of a telemetry message, in their order.
struct NoLimitsTelemetry {
    std::uint32_t state = 0;        // 0 while no ride is played
    std::uint32_t frameNumber = 0;  // counts the game's frames
    std::int32_t context[6] = {};   // which view and seat the values belong to (not used)
    float speed = 0.0f;             // m/s along the track
    float position[3] = {};         // x, y, z in the park (m)
    float rotation[4] = {};         // the car's orientation as a quaternion x, y, z, w
    float gForce[3] = {};           // x, y, z, in g
};

// The telemetry of a whole message that starts with 'N', is of type 6 and carries its 'L' at
// byte 85 (76 bytes of data); nothing for any other message.
std::optional<NoLimitsTelemetry> parseNoLimitsTelemetry(std::span<const std::uint8_t> message);

// The server's byte stream cut into messages. TCP keeps no message boundaries: one receive may
// bring half a message, or several; the stream keeps what arrived until a message is whole. Bytes
// that cannot begin a message, and a frame whose 'L' is not where its size puts it, are dropped up
// to the next 'N', so the stream finds its way back after anything it cannot read.
class NoLimitsStream {
public:
    static constexpr std::size_t capacity = 1000;

    // Where the next receive may write; never empty. Moves what is kept to the front first, so
    // the messages handed out before are no longer valid.
    std::span<std::uint8_t> freeSpace();
    // Counts `count` bytes written into freeSpace as received.
    void received(std::size_t count);

    // The next whole message, or an empty span when no whole message is left. Valid until the
    // next freeSpace or clear.
    std::span<const std::uint8_t> next();

    // Forgets everything (a new connection starts a new stream).
    void clear() { begin_ = end_ = 0; }

private:
    std::array<std::uint8_t, capacity> bytes_{};
    std::size_t begin_ = 0;  // first byte not taken yet
    std::size_t end_ = 0;    // one past the last byte received
};

}  // namespace tarvelin
