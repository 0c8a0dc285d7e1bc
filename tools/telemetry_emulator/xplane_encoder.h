#pragma once
// X-Plane's Data Output: one datagram per output interval with the rows the engine reads
// (3 speeds, 17 attitude, 66 landing gear, 135 motion platform).

#include <cstdint>
#include <vector>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

// The rows' fields that do not apply are sent as X-Plane sends them, -999.
inline constexpr float xPlaneEmptyField = -999.0f;

std::vector<std::uint8_t> encodeXPlaneDatagram(const VehicleMotion& motion);

// The true heading X-Plane reports (degrees, clockwise from north, 0 to 360).
double xPlaneHeading(const VehicleMotion& motion);

extern const GameEncoder xPlaneEncoder;

}  // namespace tarvelin::emulator
