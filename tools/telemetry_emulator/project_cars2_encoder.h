#pragma once
// Project CARS 2 and Automobilista 2: the block "$pcars2$", which each game creates at the size
// of its own structure (20576 and 20692 bytes). The game state word at offset 8 says whether a
// session is driven (2), paused (3), in the menus (1), in a replay (6) or whether the game has
// no session at all (0). The motion follows in the game's local space, y up: [0] lateral,
// [1] vertical, [2] longitudinal, rotations about them pitch, yaw and roll, yaw counted the other
// way from the engine's.

#include <cstdint>
#include <span>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

// Writes the game state and, while live, the motion; otherwise the motion stays as it was.
void writeProjectCars2Block(std::span<std::uint8_t> block, const VehicleMotion& motion, GameStatus status);

inline constexpr std::size_t projectCars2BlockSize = 20576;
inline constexpr std::size_t automobilista2BlockSize = 20692;

extern const GameEncoder projectCars2Encoder;
extern const GameEncoder automobilista2Encoder;

}  // namespace tarvelin::emulator
