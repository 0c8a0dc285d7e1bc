#pragma once
// BeamNG.drive: the motion-simulator output of the game, one "BNG1" datagram per physics
// update (100 a second by default) to UDP port 4444.
//
// Layout of a datagram (little-endian 32-bit floats after the four magic bytes):
//    0  "BNG1"
//    4  world position x, y, z
//   16  velocity x, y, z                (m/s, vehicle frame)
//   28  acceleration x, y, z            (m/s², vehicle frame, gravity not included)
//   40  up vector x, y, z
//   52  roll, pitch, yaw                (rad)
//   64  roll, pitch, yaw rate           (rad/s)
//   76  roll, pitch, yaw acceleration   (rad/s²)
// 88 bytes in all. The game's linear axes and its yaw turn the other way from the engine's, so
// those values change sign; roll and pitch keep theirs.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/game_data.h"
#include "games/reader_state.h"

namespace tarvelin {

inline constexpr std::size_t beamNgDatagramSize = 88;

// Applies one datagram to the record's channels: the three speeds, the three accelerations
// (without gravity), and position, rate and acceleration of roll, pitch and yaw (degrees).
// Returns false, leaving the record untouched, for a datagram that is not a whole "BNG1" frame
// or that carries a value that is not a finite number. Pure: no I/O, no clock, no allocation.
bool applyBeamNgDatagram(std::span<const std::uint8_t> datagram, GameData& record);

class BeamNgReader : public UdpReaderState {
public:
    // Takes the datagrams waiting on the endpoint, without waiting, and applies each; the
    // record then holds the newest frame, completed with gravity. The frame interval is the time
    // since the previous call. Returns true when at least one frame was applied. Game-source
    // thread only; no allocation.
    bool read(GameData& record);
};

}  // namespace tarvelin
