#pragma once
// X-Plane: the simulator's Data Output, sent as UDP datagrams to port 4321 at the rate the pilot
// sets there.
//
// A datagram is a 5-byte header ("DATA" and a byte of the simulator's own) followed by one record
// of 36 bytes per row ticked for output: a little-endian 32-bit row index and eight 32-bit floats
// d0..d7. Only the low byte of the index is compared. The rows the engine takes:
//     3  speeds: d7 the true ground speed (mph)                  → speed
//    17  pitch, roll and headings (degrees): d0 pitch, d1 roll,
//        d2 true heading, clockwise                               → pitch, roll, yaw = −heading
//   127  the same values as row 17
//    66  landing gear: d0 nose, d1 right main, d2 left main,
//        each above 0 while its leg carries weight                → suspension channels; all three
//                                                                   above 0 selects the GROUND profile
//   135  motion platform: d0 lateral, d1 vertical (× 10), d2 longitudinal felt acceleration
//        (m/s², gravity included, longitudinal counted backward); d3 roll, d4 pitch and d5 yaw rate
//        (yaw counted anticlockwise)                             → accel_g and rate channels
// Other rows are skipped.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/game_data.h"
#include "games/reader_state.h"

namespace tarvelin {

// The header and one record, rounded up: shorter datagrams carry no record.
inline constexpr std::size_t xPlaneMinimumSize = 42;

// Applies the records of one datagram to the record's channels and, for row 66, to the profile
// selector (0 AIR, 1 GROUND). A record holding a value that is not a finite number is skipped
// whole. Returns false, touching nothing, for a datagram shorter than xPlaneMinimumSize. Pure:
// no I/O, no clock, no allocation.
bool applyXPlaneDatagram(std::span<const std::uint8_t> datagram, GameData& record, std::int32_t& profileSelector);

class XPlaneReader : public UdpReaderState {
public:
    // Takes one datagram, without waiting. When it is long enough: stamps the frame interval,
    // applies it, completes the felt accelerations with gravity and returns true; otherwise false
    // with the record untouched. Game-source thread only; no allocation.
    bool read(GameData& record);
};

}  // namespace tarvelin
