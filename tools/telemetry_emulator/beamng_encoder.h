#pragma once
// BeamNG.drive's motion-simulator output: one 88-byte "BNG1" datagram per physics update.

#include <array>
#include <cstdint>
#include <vector>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

std::array<std::uint8_t, 88> encodeBeamNgFrame(const VehicleMotion& motion);

extern const GameEncoder beamNgEncoder;

}  // namespace tarvelin::emulator
