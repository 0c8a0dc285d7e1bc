#pragma once
// DiRT Rally 2.0's custom motion output: one datagram of 24 floats (96 bytes) per frame.

#include <cstdint>
#include <vector>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

std::vector<std::uint8_t> encodeDirtRally2Datagram(const VehicleMotion& motion);

// The heading the game sends (rad, -π to π): the engine's turned a quarter turn on.
double dirtRally2Yaw(const VehicleMotion& motion);

extern const GameEncoder dirtRally2Encoder;

}  // namespace tarvelin::emulator
