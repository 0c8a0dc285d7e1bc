#pragma once
// Microsoft Flight Simulator 2020 and 2024 through their client interface (SimConnect). The
// simulator hands its telemetry only to a client inside the reading program, so the emulated
// simulator lives in the process that runs the engine: a program that plays it gives the engine
// emulatedSimulator() as its client library (the end-to-end tests do). The command line and the
// console's demo cannot, which is why these games are not among gameEncoders().
//
// The simulator's conventions: body axes x to the right, y up, z forward, with the velocities and
// accelerations along them; true heading clockwise from north (0 to 2π); pitch positive nose
// down; bank positive with the left wing down (the right side up); rotation velocities turning
// the same ways as the angles about the same axes (about x nose down, about y nose right, about z
// right side up). Angles in radians.

#include <array>
#include <cstdint>
#include <vector>

#include "game_encoder.h"
#include "platform/simconnect.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

// The 17 values of the engine's data definition, in its order: accelerations, rotation
// accelerations, velocities, rotation velocities (x, y, z each), heading, bank, pitch, and the
// two "on ground" values.
struct SimulatorData {
    std::array<double, 15> values{};
    std::int64_t gearOnGround = 0;
    std::int64_t simOnGround = 0;
};

SimulatorData simulatorData(const VehicleMotion& motion, bool onGround);

// Messages of the simulator's queue, as its client library hands them out.
std::vector<std::uint8_t> simConnectDataMessage(std::uint32_t requestId, const SimulatorData& data);
std::vector<std::uint8_t> simConnectEventMessage(std::uint32_t clientEventId);
std::vector<std::uint8_t> simConnectQuitMessage();
std::vector<std::uint8_t> simConnectExceptionMessage(std::uint32_t exception);

// A simulator in this process behind the engine's client interface. Opens succeed while a Flight
// Simulator feed runs; every client that asked for data gets a data message for each frame the
// feed publishes while live, and the quit message when the last feed closes. Thread-safe.
platform::SimConnectLibrary& emulatedSimulator();

extern const GameEncoder flightSimulator2020Encoder;
extern const GameEncoder flightSimulator2024Encoder;

}  // namespace tarvelin::emulator
