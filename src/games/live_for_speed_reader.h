#pragma once
// Live for Speed: the game's OutSim packet, sent to UDP port 4123 every OutSim Delay. With every
// OutSim option set (OutSim Opts ff) the packet has 280 bytes and begins with the header "LFST";
// the engine reads its 32-bit floats (the game's axes: X right, Y forward, Z up; angles
// anticlockwise about each axis):
//   12, 16, 20  angular velocity about X, Y, Z (rad/s)   → pitch, roll, yaw rate
//   24, 28, 32  heading, pitch, roll (rad)                → yaw, pitch, roll position
//   36, 40, 44  acceleration along X, Y, Z (m/s²)         → lateral, longitudinal, vertical accel

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/game_data.h"
#include "games/reader_state.h"

namespace tarvelin {

inline constexpr std::size_t liveForSpeedMinimumSize = 2;
inline constexpr std::size_t outSimPacketSize = 280;

// Applies one OutSim packet to the channels: rates (degrees/s), attitude (degrees) and
// accelerations without gravity (m/s²). Returns false, touching nothing, for a datagram shorter
// than outSimPacketSize, one without the "LFST" header, and one holding a value the engine takes
// that is not a finite number. Pure: no I/O, no clock, no allocation.
bool applyOutSimPacket(std::span<const std::uint8_t> datagram, GameData& record);

class LiveForSpeedReader : public UdpReaderState {
public:
    // Stamps the frame interval and takes the waiting packets, without waiting: a short first
    // datagram is passed over for the one after it, then every packet is applied until none is
    // left or a short one comes. The record ends with the newest packet's values, completed with
    // gravity. Returns true when a datagram of at least two bytes arrived, even when no packet
    // could be applied. Game-source thread only; no allocation.
    bool read(GameData& record);
};

}  // namespace tarvelin
