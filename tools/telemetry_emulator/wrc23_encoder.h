#pragma once
// EA SPORTS WRC's UDP telemetry in its "wrc" packet structure: one datagram per frame.

#include <cstdint>
#include <vector>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

inline constexpr std::size_t wrc23PacketSize = 237;

std::vector<std::uint8_t> encodeWrc23Datagram(const VehicleMotion& motion);

extern const GameEncoder wrc23Encoder;

}  // namespace tarvelin::emulator
