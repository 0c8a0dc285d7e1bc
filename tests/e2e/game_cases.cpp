#include "e2e/game_cases.h"

#include <cmath>
#include <numbers>

#include "assetto_corsa_encoder.h"
#include "assetto_corsa_evo_encoder.h"
#include "beamng_encoder.h"
#include "euro_truck_simulator2_encoder.h"
#include "project_cars2_encoder.h"
#include "raceroom_encoder.h"
#include "rfactor2_encoder.h"

namespace tarvelin::test {

namespace {

constexpr double gravity = 9.80665;

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

// BeamNG sends every motion value but gravity, which the engine splits in.
ExpectedChannels beamNgExpected(const emulator::VehicleMotion& motion) { return motionChannels(motion); }

// Games whose blocks carry no angular accelerations: those channels keep what they held.
ExpectedChannels withoutAngularAccelerations(const emulator::VehicleMotion& motion) {
    ExpectedChannels c = motionChannels(motion);
    c[15].reset();
    c[18].reset();
    c[21].reset();
    return c;
}

// The truck's heading runs from 0 to 360 degrees; the block also carries speed and engine speed.
ExpectedChannels euroTruckSimulator2Expected(const emulator::VehicleMotion& motion) {
    ExpectedChannels c = motionChannels(motion);
    if (*c[13] < 0.0) *c[13] += 360.0;
    c[27] = emulator::euroTruckSimulator2EngineRpm(motion);
    c[28] = motion.longitudinalSpeed;
    return c;
}

}  // namespace

ExpectedChannels motionChannels(const emulator::VehicleMotion& m) {
    ExpectedChannels c;
    const double lateralGravity = gravity * std::cos(m.pitch) * std::sin(m.roll);
    const double longitudinalGravity = gravity * std::sin(m.pitch);
    const double verticalGravity = gravity * std::cos(m.pitch) * std::cos(m.roll);
    c[1] = m.lateralSpeed;
    c[2] = m.lateralAccel;
    c[3] = m.lateralAccel + lateralGravity;
    c[4] = lateralGravity;
    c[5] = m.longitudinalSpeed;
    c[6] = m.longitudinalAccel;
    c[7] = m.longitudinalAccel + longitudinalGravity;
    c[8] = longitudinalGravity;
    c[9] = m.verticalSpeed;
    c[10] = m.verticalAccel;
    c[11] = m.verticalAccel + verticalGravity;
    c[12] = verticalGravity;
    c[13] = degrees(m.yaw);
    c[14] = degrees(m.yawRate);
    c[15] = degrees(m.yawAccel);
    c[16] = degrees(m.roll);
    c[17] = degrees(m.rollRate);
    c[18] = degrees(m.rollAccel);
    c[19] = degrees(m.pitch);
    c[20] = degrees(m.pitchRate);
    c[21] = degrees(m.pitchAccel);
    return c;
}

const std::vector<GameCase>& gameCases() {
    static const std::vector<GameCase> cases{
        {&emulator::assettoCorsaEncoder, 3, "AssettoCorsa/Comp.", withoutAngularAccelerations},
        {&emulator::assettoCorsaEvoEncoder, 16, "AssettoCorsaEvo", withoutAngularAccelerations},
        {&emulator::raceRoomEncoder, 4, "RaceRoom", motionChannels},
        {&emulator::projectCars2Encoder, 9, "PCAR2/Automobilista2", withoutAngularAccelerations},
        {&emulator::automobilista2Encoder, 9, "PCAR2/Automobilista2", withoutAngularAccelerations},
        {&emulator::beamNgEncoder, 12, "BeamNG", beamNgExpected},
        {&emulator::rFactor2Encoder, 14, "rFactor2", motionChannels},
        {&emulator::euroTruckSimulator2Encoder, 17, "ETSM2/AMT", euroTruckSimulator2Expected},
    };
    return cases;
}

}  // namespace tarvelin::test
