#pragma once
// The motion of one vehicle at one moment, in the engine's axes, from which every game encoder
// builds that game's telemetry.
//
// Axes of the vehicle: lateral positive to the right, longitudinal positive forward, vertical
// positive up. Heading (yaw) is positive clockwise seen from above, pitch positive nose up, roll
// positive when the right side rises. With these, gravity adds g·cos(pitch)·sin(roll),
// g·sin(pitch) and g·cos(pitch)·cos(roll) to what an accelerometer in the vehicle reads.
//
// The world: x east, y north, z up, in metres; heading 0 faces north.

namespace tarvelin::emulator {

struct VehicleMotion {
    double time = 0.0;  // seconds since the script started

    double worldX = 0.0;
    double worldY = 0.0;
    double worldZ = 0.0;

    // In the vehicle's axes; accelerations without gravity.
    double lateralSpeed = 0.0;  // m/s
    double longitudinalSpeed = 0.0;
    double verticalSpeed = 0.0;
    double lateralAccel = 0.0;  // m/s²
    double longitudinalAccel = 0.0;
    double verticalAccel = 0.0;

    double yaw = 0.0;  // rad, within -π..π
    double pitch = 0.0;
    double roll = 0.0;
    double yawRate = 0.0;  // rad/s
    double pitchRate = 0.0;
    double rollRate = 0.0;
    double yawAccel = 0.0;  // rad/s²
    double pitchAccel = 0.0;
    double rollAccel = 0.0;
};

}  // namespace tarvelin::emulator
