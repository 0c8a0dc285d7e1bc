#pragma once
// The flight simulators' encoders play the drive as an aircraft rolling on its three gear legs.
// This is the weight each leg carries: the static share of a 1200 kg aircraft, moved towards the
// nose under braking, towards the outer main leg in a turn, and scaled by the vertical
// acceleration over the bumps. Every leg carries weight all through the drive.

#include "vehicle_motion.h"

namespace tarvelin::emulator {

struct GearLoads {
    double nose = 0.0;  // N
    double rightMain = 0.0;
    double leftMain = 0.0;
};

GearLoads gearLoads(const VehicleMotion& motion);

// How far a leg's strut is compressed under `load`: the fraction of its 20 kN rating it carries.
double strutCompression(double load);

}  // namespace tarvelin::emulator
