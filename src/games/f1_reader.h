#pragma once
// F1 23 and F1 24: the games' UDP telemetry to port 20777, packed little-endian packets that each
// begin with a 29-byte header (16-bit packet format 2023 or 2024 at offset 0, the player's car
// index at byte 27, the second player's at byte 28, 255 when there is none). The games send many
// kinds of packet to the same port; the engine tells the two it reads by their length:
//   1349 bytes  motion: from offset 29, 22 car records of 60 bytes. In the player's record:
//               36, 40, 44 g-force lateral (positive to the left), longitudinal, vertical
//               (positive down) including gravity; 48, 52, 56 yaw, pitch, roll (rad)
//    217 bytes  extended motion of the player's car (F1 23; 237 bytes in F1 24): 173, 177, 181
//               angular velocity about the roll, pitch and yaw axes (rad/s, each counted the
//               other way from the engine)
// Other lengths are ignored.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/game_data.h"
#include "games/reader_state.h"

namespace tarvelin {

inline constexpr std::size_t f1MinimumSize = 2;
inline constexpr std::size_t f1MotionSize = 1349;
inline constexpr std::size_t f1_23ExtendedMotionSize = 217;
inline constexpr std::size_t f1_24ExtendedMotionSize = 237;
inline constexpr std::size_t f1CarCount = 22;

// Applies a motion or extended motion packet to the channels: the player's felt accelerations
// (m/s²) and attitude (degrees), or the player's rotation rates (degrees/s). The player's car is
// the one at header byte 27, car 0 when that byte is out of range. Returns false, touching
// nothing, for any other packet, one of another packet format, and one holding a value the
// engine takes that is not a finite number. Pure: no I/O, no clock, no allocation.
bool applyF1Datagram(std::span<const std::uint8_t> datagram, GameData& record);

class F1Reader : public UdpReaderState {
public:
    // Stamps the frame interval, then takes every datagram waiting (up to a bound), without
    // waiting, and applies each: the record ends with the newest values of each packet kind,
    // completed with gravity. Returns true when at least one datagram arrived. Game-source thread
    // only; no allocation.
    bool read(GameData& record);
};

}  // namespace tarvelin
