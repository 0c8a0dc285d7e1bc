#pragma once
// Assetto Corsa (and Competizione): the physics block "Local\acpmf_physics", rewritten on every
// physics step with a rising packet number, and the graphics block "Local\acpmf_graphics", whose
// status word says whether a session is live (2), paused (3), in a replay (1) or off (0).

#include <cstdint>
#include <span>

#include "block_feed.h"
#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

// One physics step in the game's physics layout (which Assetto Corsa EVO's block shares): while
// the game is live the packet number moves on and the fields take the motion; otherwise the block
// keeps its last step, as the game's does while it does not simulate.
// The physics block tells a new step by its packet number.
inline constexpr BlockStamp assettoCorsaPacketStamp{0, 4};

void writeAssettoCorsaPhysics(std::span<std::uint8_t> physics, const VehicleMotion& motion, GameStatus status);

extern const GameEncoder assettoCorsaEncoder;

}  // namespace tarvelin::emulator
