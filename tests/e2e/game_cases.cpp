#include "e2e/game_cases.h"

#include <cmath>
#include <numbers>

#include "beamng_encoder.h"
#include "iracing_encoder.h"

namespace tarvelin::test {

namespace {

constexpr double gravity = 9.80665;

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

// BeamNG sends every motion value but gravity, which the engine splits in.
ExpectedChannels beamNgExpected(const emulator::VehicleMotion& motion) { return motionChannels(motion); }

// iRacing sends the felt accelerations (gravity included), the three angles and the three rates,
// which stay in radians per second.
ExpectedChannels iRacingExpected(const emulator::VehicleMotion& motion) {
    const ExpectedChannels all = motionChannels(motion);
    ExpectedChannels c;
    for (const int channel : {2, 3, 4, 6, 7, 8, 10, 11, 12, 13, 16, 19}) c[channel] = all[channel];
    c[14] = motion.yawRate;
    c[17] = motion.rollRate;
    c[20] = motion.pitchRate;
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
        {&emulator::iRacingEncoder, 10, "iRacing", iRacingExpected},
        {&emulator::beamNgEncoder, 12, "BeamNG", beamNgExpected},
    };
    return cases;
}

}  // namespace tarvelin::test
