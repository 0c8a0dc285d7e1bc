#pragma once
// Euro Truck Simulator 2, through the block "SCSTelemetryExample" that the SCS telemetry example
// plugin writes from inside the game. Its fields are packed without gaps (little-endian):
//      0  running (byte; 0 while the game is paused or not driving)
//     25  heading, pitch, roll                   (32-bit floats, turns)
//     41  speedometer speed (m/s), engine rpm
//     69  linear velocity x, y, z                (m/s)
//     81  angular velocity x, y, z               (turns/s: pitch, yaw, roll)
//     93  linear acceleration x, y, z            (m/s², without gravity)
//    105  angular acceleration x, y, z           (turns/s²)
// x points right, y up and z backwards; roll turns the other way from the engine's.

#include <cstddef>

#include "core/game_data.h"
#include "games/block_fields.h"
#include "games/reader_state.h"

namespace tarvelin {

inline constexpr std::size_t euroTruckSimulator2BytesRead = 113 + 4;

// Applies the frame while the running byte is set: speeds, accelerations (without gravity),
// position, rate and acceleration of yaw, roll and pitch (degrees), speed and rpm. Heading is held
// to 0..360°, pitch to ±90° and roll to ±180°. Returns false, leaving the record untouched, while
// the game is not running, for a block shorter than the fields, or when a value is not a finite
// number. Pure: no I/O, no clock, no allocation.
bool applyEuroTruckSimulator2Block(BlockBytes block, GameData& record);

class EuroTruckSimulator2Reader : public BlockReaderState {
public:
    // Delivers the plugin's frame while the game runs (every call then delivers one), completed
    // with gravity and timed: true when a frame was delivered. Game-source thread only.
    bool read(GameData& record);

private:
    SteadyCopy<euroTruckSimulator2BytesRead> steadyCopy;
};

}  // namespace tarvelin
