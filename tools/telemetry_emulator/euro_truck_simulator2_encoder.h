#pragma once
// Euro Truck Simulator 2 with the SCS telemetry example plugin: the process "eurotrucks2.exe" and
// the plugin's block "SCSTelemetryExample" (177 bytes, fields packed without gaps). Its first
// byte says whether the game runs (1) or is paused or has no truck on the road (0). Angles come
// in turns, heading from 0 to 1; x points right, y up and z backwards, roll is counted the other
// way from the engine's.

#include <cstdint>
#include <span>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

// Writes the running byte and, while live, the motion, speed and engine speed; otherwise the
// fields stay as they were.
void writeEuroTruckSimulator2Block(std::span<std::uint8_t> block, const VehicleMotion& motion, GameStatus status);

// The engine speed the emulated truck reports at a moment of the drive (rpm).
double euroTruckSimulator2EngineRpm(const VehicleMotion& motion);

extern const GameEncoder euroTruckSimulator2Encoder;

}  // namespace tarvelin::emulator
