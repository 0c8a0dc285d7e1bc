#pragma once
// rFactor 2 with the engine's companion plugin: the process "rFactor2.exe" and the plugin's
// block "Local\Tarvelin_rf2_data" (1888 bytes). The plugin writes 1234567890 into the first word
// until it has a session to report, then the session's elapsed time, the car's motion in the
// game's axes (x left, y up, z backwards; yaw counted the other way from the engine's) and its
// orientation as a rotation matrix, row by row.

#include <cstdint>
#include <span>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

// Writes the plugin's first word and, while live, the elapsed time (the script's time) and the
// motion; otherwise the block keeps its last update, as the plugin's does while the game does not
// drive.
void writeRFactor2Block(std::span<std::uint8_t> block, const VehicleMotion& motion, GameStatus status);

extern const GameEncoder rFactor2Encoder;

}  // namespace tarvelin::emulator
