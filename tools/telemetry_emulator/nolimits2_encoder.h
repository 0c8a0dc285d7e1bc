#pragma once
// NoLimits 2's telemetry server: a TCP server on 127.0.0.1:15151 that answers each request
// message, idle with an OK message and telemetry with the newest frame. The ride simulator sends
// nothing unasked; its frame number counts its frames.

#include <array>
#include <cstdint>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

// The telemetry message (type 6) answering request `requestId`, for the car moving as `motion`.
// The game's frame: y up, the car's x axis to its right and z to its back; the orientation as a
// quaternion (x, y, z, w) turning the car's frame into the park's, whose north is -z; the g-forces
// the riders feel: x positive when pushed to the right, y positive when pressed into the seat (1
// at rest), z positive when pressed back into it. `state` is 0 while no ride is played.
std::array<std::uint8_t, 86> encodeNoLimitsTelemetry(const VehicleMotion& motion, std::uint32_t frameNumber,
                                                     std::uint32_t state, std::uint32_t requestId);

extern const GameEncoder noLimits2Encoder;

}  // namespace tarvelin::emulator
