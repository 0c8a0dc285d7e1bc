#include "e2e/game_cases.h"

#include <cmath>
#include <numbers>

#include "beamng_encoder.h"
#include "flight_simulator_encoder.h"
#include "nolimits2_encoder.h"

namespace tarvelin::test {

namespace {

constexpr double gravity = 9.80665;

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

// Flight Simulator sends every motion value but the rotation accelerations the reader does not
// take. The simulator counts lateral and vertical velocity the same ways as the accelerations, and
// its yaw and roll rates the same ways as heading and bank; the reader takes those four values with
// the sign turned. Heading is the simulator's true heading, 0 to 360 degrees.
ExpectedChannels flightSimulatorExpected(const emulator::VehicleMotion& motion) {
    ExpectedChannels c = motionChannels(motion);
    c[15] = c[18] = c[21] = std::nullopt;
    for (const int turned : {1, 9, 14, 17}) c[turned] = -*c[turned];
    if (*c[13] < 0.0) c[13] = *c[13] + 360.0;
    return c;
}

// NoLimits 2 sends the car's orientation, the g-forces the riders feel and the speed along the
// track; the rates and speeds the engine estimates from them are not compared. The game counts
// yaw counter-clockwise and splits the orientation into yaw about the park's up axis, then roll,
// then pitch; with the car's axes x right, y up, z back, that is R = Ry(−yaw)·Rx(pitch)·Rz(roll)
// read back in that order.
ExpectedChannels noLimits2Expected(const emulator::VehicleMotion& m) {
    const ExpectedChannels all = motionChannels(m);
    ExpectedChannels c;
    for (const int felt : {2, 3, 4, 6, 7, 8, 10, 11, 12}) c[felt] = all[felt];
    const double sa = std::sin(-m.yaw), ca = std::cos(-m.yaw);
    const double sb = std::sin(m.pitch), cb = std::cos(m.pitch);
    const double sc = std::sin(m.roll), cc = std::cos(m.roll);
    c[13] = degrees(std::atan2(sa * cc - ca * sb * sc, ca * cc + sa * sb * sc));
    c[16] = degrees(std::asin(cb * sc));
    c[19] = degrees(std::atan2(sb, cb * cc));
    c[28] = std::sqrt(m.lateralSpeed * m.lateralSpeed + m.longitudinalSpeed * m.longitudinalSpeed +
                      m.verticalSpeed * m.verticalSpeed);
    return c;
}

// BeamNG sends every motion value but gravity, which the engine splits in.
ExpectedChannels beamNgExpected(const emulator::VehicleMotion& motion) { return motionChannels(motion); }

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
        {&emulator::flightSimulator2020Encoder, 2, "MSFS2020", flightSimulatorExpected},
        {&emulator::flightSimulator2024Encoder, 15, "MSFS2024", flightSimulatorExpected},
        {&emulator::noLimits2Encoder, 8, "NoLimits2", noLimits2Expected},
        {&emulator::beamNgEncoder, 12, "BeamNG", beamNgExpected},
    };
    return cases;
}

}  // namespace tarvelin::test
