#include "e2e/game_cases.h"

#include <cmath>
#include <initializer_list>
#include <numbers>

#include "aircraft_gear.h"
#include "assetto_corsa_encoder.h"
#include "assetto_corsa_evo_encoder.h"
#include "beamng_encoder.h"
#include "condor2_encoder.h"
#include "dcs_encoder.h"
#include "dirt_rally2_encoder.h"
#include "euro_truck_simulator2_encoder.h"
#include "f1_encoder.h"
#include "flight_simulator_encoder.h"
#include "iracing_encoder.h"
#include "live_for_speed_encoder.h"
#include "nolimits2_encoder.h"
#include "project_cars2_encoder.h"
#include "raceroom_encoder.h"
#include "rfactor2_encoder.h"
#include "wrc23_encoder.h"
#include "xplane_encoder.h"

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

// Keeps only the channels listed.
ExpectedChannels only(const ExpectedChannels& all, std::initializer_list<int> channels) {
    ExpectedChannels kept;
    for (const int channel : channels) kept[channel] = all[channel];
    return kept;
}

// The gravity split over a game's own roll and pitch (degrees), with the accelerations without
// gravity as given.
void splitGravity(ExpectedChannels& c, double lateral, double longitudinal, double vertical) {
    const double pitch = *c[19] * std::numbers::pi / 180.0;
    const double roll = *c[16] * std::numbers::pi / 180.0;
    c[2] = lateral;
    c[4] = gravity * std::cos(pitch) * std::sin(roll);
    c[3] = lateral + *c[4];
    c[6] = longitudinal;
    c[8] = gravity * std::sin(pitch);
    c[7] = longitudinal + *c[8];
    c[10] = vertical;
    c[12] = gravity * std::cos(pitch) * std::cos(roll);
    c[11] = vertical + *c[12];
}

// X-Plane: felt accelerations, attitude (yaw as the negated true heading), rates, the ground
// speed in miles per hour and the gear loads; no speeds along the axes, no angular accelerations.
ExpectedChannels xPlaneExpected(const emulator::VehicleMotion& motion) {
    ExpectedChannels c = only(motionChannels(motion), {2, 3, 4, 6, 7, 8, 10, 11, 12, 14, 16, 17, 19, 20});
    c[13] = -emulator::xPlaneHeading(motion);
    c[28] = motion.longitudinalSpeed * 3600.0 / 1609.344;
    const auto gear = emulator::gearLoads(motion);
    c[22] = c[23] = gear.nose;
    c[24] = gear.leftMain;
    c[25] = gear.rightMain;
    return c;
}

// DCS: everything but the angular accelerations, and two gear struts as suspension.
ExpectedChannels dcsExpected(const emulator::VehicleMotion& motion) {
    ExpectedChannels c = motionChannels(motion);
    c[15] = c[18] = c[21] = std::nullopt;
    const auto gear = emulator::gearLoads(motion);
    c[22] = emulator::strutCompression(gear.nose);
    c[24] = emulator::strutCompression(gear.leftMain);
    return c;
}

// DiRT Rally 2: pitch counted nose down, the heading a quarter turn off, no speeds.
ExpectedChannels dirtRally2Expected(const emulator::VehicleMotion& motion) {
    ExpectedChannels c = motionChannels(motion);
    for (const int pitch : {19, 20, 21}) c[pitch] = -*c[pitch];
    c[13] = degrees(emulator::dirtRally2Yaw(motion)) - 90.0;
    c[1] = c[5] = c[9] = 0.0;
    return c;
}

// Condor 2: no angular accelerations; the heading from 0 to 360 less half a turn.
ExpectedChannels condor2Expected(const emulator::VehicleMotion& motion) {
    ExpectedChannels c = motionChannels(motion);
    c[15] = c[18] = c[21] = std::nullopt;
    c[13] = degrees(emulator::condor2Yaw(motion)) - 180.0;
    return c;
}

// F1: the player's felt accelerations and attitude. The rates come in a second datagram, which
// the engine may read a cycle after the first, so a record can hold the rates of the frame
// before; the games' reader tests check them.
ExpectedChannels f1Expected(const emulator::VehicleMotion& motion) {
    return only(motionChannels(motion), {2, 3, 4, 6, 7, 8, 10, 11, 12, 13, 16, 19});
}

// WRC: speeds, accelerations and attitude (yaw anticlockwise). The rates are differences over
// the measured frame interval, which no script time can predict.
ExpectedChannels wrc23Expected(const emulator::VehicleMotion& motion) {
    ExpectedChannels c = only(motionChannels(motion), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 19});
    c[13] = -*c[13];
    return c;
}

// Live for Speed: the game's angles are anticlockwise about its axes, so yaw and roll turn the
// other way, and the gravity split follows its roll. No speeds, no angular accelerations.
ExpectedChannels liveForSpeedExpected(const emulator::VehicleMotion& motion) {
    const ExpectedChannels all = motionChannels(motion);
    ExpectedChannels c;
    c[13] = -*all[13];
    c[14] = -*all[14];
    c[16] = -*all[16];
    c[17] = -*all[17];
    c[19] = all[19];
    c[20] = all[20];
    splitGravity(c, motion.lateralAccel, motion.longitudinalAccel, motion.verticalAccel);
    return c;
}

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
        {&emulator::xPlaneEncoder, 0, "Xplane", xPlaneExpected},
        {&emulator::dcsEncoder, 1, "DCS", dcsExpected},
        {&emulator::flightSimulator2020Encoder, 2, "MSFS2020", flightSimulatorExpected},
        {&emulator::flightSimulator2024Encoder, 15, "MSFS2024", flightSimulatorExpected},
        {&emulator::assettoCorsaEncoder, 3, "AssettoCorsa/Comp.", withoutAngularAccelerations},
        {&emulator::assettoCorsaEvoEncoder, 16, "AssettoCorsaEvo", withoutAngularAccelerations},
        {&emulator::raceRoomEncoder, 4, "RaceRoom", motionChannels, 1e-3, 1e-4, true},
        {&emulator::dirtRally2Encoder, 5, "DirtRally2", dirtRally2Expected},
        {&emulator::condor2Encoder, 6, "Condor2", condor2Expected},
        {&emulator::f1_23Encoder, 7, "F1-2023-24", f1Expected},
        {&emulator::f1_24Encoder, 7, "F1-2023-24", f1Expected},
        {&emulator::noLimits2Encoder, 8, "NoLimits2", noLimits2Expected},
        {&emulator::projectCars2Encoder, 9, "PCAR2/Automobilista2", withoutAngularAccelerations, 1e-3, 1e-4, true},
        {&emulator::automobilista2Encoder, 9, "PCAR2/Automobilista2", withoutAngularAccelerations, 1e-3, 1e-4, true},
        {&emulator::iRacingEncoder, 10, "iRacing", iRacingExpected},
        {&emulator::wrc23Encoder, 11, "WRC23", wrc23Expected},
        {&emulator::beamNgEncoder, 12, "BeamNG", beamNgExpected},
        {&emulator::liveForSpeedEncoder, 13, "LFS", liveForSpeedExpected},
        {&emulator::rFactor2Encoder, 14, "rFactor2", motionChannels},
        {&emulator::euroTruckSimulator2Encoder, 17, "ETSM2/AMT", euroTruckSimulator2Expected, 1e-3, 1e-4, true},
    };
    return cases;
}

}  // namespace tarvelin::test
