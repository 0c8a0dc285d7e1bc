#pragma once
// What the UDP game readers share: taking a datagram off the game's port, stamping a delivered
// frame with its interval, and reading the little-endian values the games send.

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/game_data.h"
#include "games/reader_state.h"

namespace tarvelin {

// The games' angles are converted with this π, which is what their readers were tuned with.
inline constexpr double gamePi = 3.14159265358979;

inline double degreesFromRadians(double radians) { return radians / gamePi * 180.0; }

// The little-endian 32-bit float at `offset`; the caller has made sure the bytes are there.
inline float floatAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return std::bit_cast<float>(bits);
}

// A game sends one datagram per frame, so a reader that drains its port normally finds one or
// two. The bound keeps a sender that floods the port from holding the cycle in the drain; what is
// left waits for the next cycle.
inline constexpr int maximumDatagramsPerRead = 256;

// Takes one datagram waiting on the reader's port, without waiting: its bytes (in the endpoint's
// receive buffer, valid until the next take), or an empty span when none is waiting.
inline std::span<const std::uint8_t> takeDatagram(UdpReaderState& reader) {
    const long length = reader.endpoint.receiveIntoBuffer();
    if (length < 1) return {};
    return {reader.endpoint.receiveBuffer.data(), static_cast<std::size_t>(length)};
}

// Measures the interval since the reader's previous stamp and stores it as the record's frame
// interval. Host threads read the interval through an export while this thread writes it.
inline void stampFrame(ReaderState& reader, GameData& record) {
    reader.timer.restart();
    std::atomic_ref<double>(record.frameTimeMs).store(reader.timer.lastIntervalMs(), std::memory_order_relaxed);
}

}  // namespace tarvelin
