#pragma once
// DiRT Rally 2.0: the game's custom motion output, one datagram of 24 little-endian 32-bit floats
// (96 bytes) per frame to UDP port 20778. The engine reads:
//   24, 28, 32  g-force lateral (positive to the left), longitudinal, vertical (g, without gravity)
//   48, 52, 56  pitch, pitch rate, pitch acceleration (rad; positive nose down)
//   60, 64, 68  roll, roll rate, roll acceleration (rad)
//   84, 88, 92  yaw (the heading), yaw rate, yaw acceleration (rad); the engine takes a quarter
//               turn off the heading
// The other values (position, velocity, heave) are not used.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/game_data.h"
#include "games/reader_state.h"

namespace tarvelin {

inline constexpr std::size_t dirtRally2MinimumSize = 2;
inline constexpr std::size_t dirtRally2DatagramSize = 96;

// Applies a 96-byte datagram to the channels: accelerations (m/s²) and attitude (degrees), the
// three speeds set to 0 and the game clock to 0 (the game sends none). Returns false, touching
// nothing, for a datagram of any other length or one holding a value that is not a finite
// number. Pure: no I/O, no clock, no allocation.
bool applyDirtRally2Datagram(std::span<const std::uint8_t> datagram, GameData& record);

class DirtRally2Reader : public UdpReaderState {
public:
    // Takes one datagram, without waiting. When it has at least two bytes: stamps the frame
    // interval, applies it (a datagram that is not a whole frame leaves the channels as they
    // were), completes the felt accelerations with gravity and returns true; otherwise false with
    // the record untouched. Game-source thread only; no allocation.
    bool read(GameData& record);
};

}  // namespace tarvelin
