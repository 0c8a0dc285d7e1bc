#pragma once
// Condor 2's UDP output: one datagram of key=value lines (CR LF) per output interval.

#include <string>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

std::string condor2Text(const VehicleMotion& motion);

// The yaw the simulator sends: the heading from 0 to 2π.
double condor2Yaw(const VehicleMotion& motion);

extern const GameEncoder condor2Encoder;

}  // namespace tarvelin::emulator
