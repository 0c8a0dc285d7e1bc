#include "aircraft_gear.h"

namespace tarvelin::emulator {

namespace {

constexpr double mass = 1200.0;  // kg
constexpr double gravity = 9.80665;
constexpr double noseShare = 0.15;
constexpr double mainShare = (1.0 - noseShare) / 2.0;
// Load moved per m/s² of acceleration, as a fraction of the mass: centre of gravity height over
// wheelbase, and over half the track.
constexpr double longitudinalTransfer = 0.1;
constexpr double lateralTransfer = 0.25;

}  // namespace

GearLoads gearLoads(const VehicleMotion& m) {
    const double weight = mass * (gravity + m.verticalAccel);
    const double towardsNose = -mass * m.longitudinalAccel * longitudinalTransfer;
    // A turn to the right pushes the weight onto the left leg.
    const double towardsLeft = mass * m.lateralAccel * lateralTransfer;
    return GearLoads{
        .nose = weight * noseShare + towardsNose,
        .rightMain = weight * mainShare - towardsNose / 2.0 - towardsLeft,
        .leftMain = weight * mainShare - towardsNose / 2.0 + towardsLeft,
    };
}

double strutCompression(double load) { return load / 20000.0; }

}  // namespace tarvelin::emulator
