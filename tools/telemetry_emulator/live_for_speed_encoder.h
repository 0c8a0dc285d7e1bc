#pragma once
// Live for Speed's OutSim packet with every option set (OutSim Opts ff): 280 bytes with the
// "LFST" header, sent every OutSim Delay.

#include <cstdint>
#include <vector>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

std::vector<std::uint8_t> encodeOutSimPacket(const VehicleMotion& motion);

extern const GameEncoder liveForSpeedEncoder;

}  // namespace tarvelin::emulator
