#pragma once
// rFactor 2, through the block "Local\Tarvelin_rf2_data" that the engine's companion plugin
// writes from inside the game on every telemetry update.
//
// Fields that the reader takes (little-endian doubles):
//    12  elapsed session time        (s)
//   184  local velocity x, y, z      (m/s)
//   208  local acceleration x, y, z  (m/s², without gravity)
//   232  orientation matrix          (9 values, row by row)
//   304  local rotation rate x, y, z (rad/s: pitch, yaw, roll)
//   328  local rotational acceleration x, y, z (rad/s²)
// x points left, y up and z backwards, and yaw turns the other way from the engine's.

#include <cstddef>

#include "core/game_data.h"

#include <atomic>
#include "games/block_fields.h"
#include "games/reader_state.h"

namespace tarvelin {

inline constexpr std::size_t rFactor2BytesRead = 344 + 8;

// Applies the frame when its elapsed time differs from `lastElapsedTime`, which then takes it:
// speeds, accelerations (without gravity), position, rate and acceleration of yaw, roll and pitch
// (degrees; the angles from the orientation matrix). Returns false, leaving the record untouched,
// for a frame seen already, an elapsed time that moved on while the fields were read (the plugin
// was writing the next update), a block shorter than the fields, or a value that is not a finite
// number. Pure: no I/O, no clock, no allocation.
bool applyRFactor2Block(BlockBytes block, double& lastElapsedTime, GameData& record);

class RFactor2Reader : public BlockReaderState {
public:
    // Delivers the plugin's frame when it is new, completed with gravity and timed: true when a
    // frame was delivered. Game-source thread only.
    bool read(GameData& record);

    // The elapsed time of the last frame taken. It outlives a disconnection.
    double lastElapsedTime = 0.0;
};

}  // namespace tarvelin
