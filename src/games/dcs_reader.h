#pragma once
// DCS World: one line of text per simulation frame, sent to UDP port 4124 by the export script
// the rig owner installs in DCS (docs/games.md gives it). The line holds 25 numbers separated by
// single spaces and ends with a line feed; the script writes every number with at least six
// characters ("%.6f"), since a shorter field ends the line for the engine. In order:
//    1- 3  felt acceleration longitudinal, lateral, vertical (g, gravity included)
//    4- 6  velocity lateral, longitudinal, vertical in the aircraft's axes (m/s)
//    7- 9  yaw, roll and pitch rate (rad/s)
//   10-12  heading, roll and pitch (rad)
//   13-24  gear, flaps and air data; 14 (nose gear strut) and 16 (left main gear strut) go to the
//          front and rear left suspension channels, the others are not used
//   25     the simulation's clock (s)
// Signs follow the engine's axes: right, forward and up positive, heading and yaw rate clockwise,
// roll positive when the right wing rises, pitch positive nose up.

#include <cstdint>
#include <span>

#include "core/game_data.h"
#include "games/reader_state.h"

namespace tarvelin {

inline constexpr std::size_t dcsMinimumSize = 2;

// Reads the line (up to the datagram's end or its first NUL) field by field into the channels and
// the game clock. A field shorter than six characters reads 0.0 and ends the line: it and every
// later field read 0.0. A field that is no number, lies outside the range of a double or is not
// finite reads 0.0, and the line goes on. Returns false, touching nothing, for a datagram shorter
// than dcsMinimumSize. Pure: no I/O, no clock, no allocation.
bool applyDcsLine(std::span<const std::uint8_t> datagram, GameData& record);

class DcsReader : public UdpReaderState {
public:
    // Takes one datagram, without waiting. When it has at least two bytes: stamps the frame
    // interval, applies the line, completes the accelerations without gravity and returns true;
    // otherwise false with the record untouched. Game-source thread only; no allocation.
    bool read(GameData& record);
};

}  // namespace tarvelin
