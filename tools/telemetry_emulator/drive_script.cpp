#include "drive_script.h"

#include <cmath>
#include <cstddef>
#include <numbers>

namespace tarvelin::emulator {

namespace {

constexpr double pi = std::numbers::pi;

// Quintic ease from 0 to 1: its first and second derivatives vanish at both ends, so speed,
// acceleration and jerk stay continuous where segments meet.
double ease(double u) {
    if (u <= 0.0) return 0.0;
    if (u >= 1.0) return 1.0;
    return u * u * u * (u * (u * 6.0 - 15.0) + 10.0);
}

struct Key {
    double time;
    double value;
};

double keyed(const Key* keys, std::size_t count, double time) {
    if (time <= keys[0].time) return keys[0].value;
    for (std::size_t i = 1; i < count; ++i) {
        if (time <= keys[i].time) {
            const Key& a = keys[i - 1];
            const Key& b = keys[i];
            return a.value + (b.value - a.value) * ease((time - a.time) / (b.time - a.time));
        }
    }
    return keys[count - 1].value;
}

// Standing, launch, cruise, braking, corner, bumps, braking to a stop.
constexpr Key speedKeys[] = {{0.0, 0.0},   {1.0, 0.0},   {8.0, 27.0},  {10.0, 27.0},
                             {13.0, 15.0}, {23.0, 15.0}, {27.0, 0.0},  {29.0, 0.0}};
// A right-hander of radius 50 m, entered and left over one second each.
constexpr double cornerRadius = 50.0;
constexpr Key curvatureKeys[] = {{13.0, 0.0}, {14.0, 1.0 / cornerRadius}, {18.0, 1.0 / cornerRadius}, {19.0, 0.0}};

struct Bump {
    double start;   // s, when the front axle reaches it
    double length;  // s, at the 15 m/s the car holds there
    double height;  // m
};
constexpr Bump bumps[] = {{20.5, 0.4, 0.06}, {21.3, 0.3, 0.04}};
constexpr double wheelbase = 2.7;
constexpr double bumpSpeed = 15.0;                   // the speed held from 13 s to 23 s
constexpr double axleDelay = wheelbase / bumpSpeed;  // rear axle follows the front

// How far the body pitches per m/s² of longitudinal acceleration (nose up when speeding up)
// and rolls per m/s² of lateral acceleration (leaning out of the corner).
constexpr double pitchPerAccel = 0.006;
constexpr double rollPerAccel = 0.008;

constexpr double pathStep = 0.001;
constexpr double derivativeStep = 0.001;

template <typename Function>
double rate(Function f, double t) {
    return (f(t + derivativeStep) - f(t - derivativeStep)) / (2.0 * derivativeStep);
}

template <typename Function>
double secondRate(Function f, double t) {
    return (f(t + derivativeStep) - 2.0 * f(t) + f(t - derivativeStep)) / (derivativeStep * derivativeStep);
}

double bodyHeight(double t) { return 0.5 * (scriptRoadHeight(t) + scriptRoadHeight(t - axleDelay)); }

double longitudinalAcceleration(double t) { return rate(scriptSpeed, t); }

double lateralAcceleration(double t) {
    const double v = scriptSpeed(t);
    return v * v * scriptCurvature(t);
}

double pitchAngle(double t) {
    const double overBumps = std::atan((scriptRoadHeight(t) - scriptRoadHeight(t - axleDelay)) / wheelbase);
    return pitchPerAccel * longitudinalAcceleration(t) + overBumps;
}

double rollAngle(double t) { return rollPerAccel * lateralAcceleration(t); }

double yawRateAt(double t) { return scriptSpeed(t) * scriptCurvature(t); }

double wrapAngle(double angle) {
    angle = std::remainder(angle, 2.0 * pi);
    return angle <= -pi ? angle + 2.0 * pi : angle;
}

struct Vector {
    double x, y, z;
};

Vector operator*(double s, Vector v) { return {s * v.x, s * v.y, s * v.z}; }
Vector operator+(Vector a, Vector b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector operator-(Vector a, Vector b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(Vector a, Vector b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

}  // namespace

double scriptSpeed(double lapTime) { return keyed(speedKeys, std::size(speedKeys), lapTime); }

double scriptCurvature(double lapTime) { return keyed(curvatureKeys, std::size(curvatureKeys), lapTime); }

double scriptRoadHeight(double lapTime) {
    double height = 0.0;
    for (const Bump& bump : bumps) {
        const double u = (lapTime - bump.start) / bump.length;
        if (u <= 0.0 || u >= 1.0) continue;
        // sin⁴ rises and falls with vanishing slope and curvature at both ends.
        const double s = std::sin(pi * u);
        height += bump.height * s * s * s * s;
    }
    return height;
}

DriveScript::DriveScript() {
    const auto steps = static_cast<std::size_t>(lapSeconds / pathStep);
    path_.reserve(steps + 1);
    PathPoint point{0.0, 0.0, 0.0};
    path_.push_back(point);
    for (std::size_t i = 1; i <= steps; ++i) {
        // Midpoint rule: heading at the middle of the step, speed likewise.
        const double middle = (static_cast<double>(i) - 0.5) * pathStep;
        const double heading = point.heading + 0.5 * pathStep * yawRateAt(middle);
        const double speed = scriptSpeed(middle);
        point.x += pathStep * speed * std::sin(heading);
        point.y += pathStep * speed * std::cos(heading);
        point.heading += pathStep * yawRateAt(middle);
        path_.push_back(point);
    }
    lapEnd_ = path_.back();
}

DriveScript::PathPoint DriveScript::pathAt(double lapTime) const {
    const double position = lapTime / pathStep;
    auto index = static_cast<std::size_t>(position);
    if (index + 1 >= path_.size()) return path_.back();
    const double f = position - static_cast<double>(index);
    const PathPoint& a = path_[index];
    const PathPoint& b = path_[index + 1];
    return {a.heading + f * (b.heading - a.heading), a.x + f * (b.x - a.x), a.y + f * (b.y - a.y)};
}

VehicleMotion DriveScript::at(double time) const {
    if (time < 0.0) time = 0.0;
    const auto laps = static_cast<long>(std::floor(time / lapSeconds));
    const double t = time - static_cast<double>(laps) * lapSeconds;

    // Each lap continues from the heading and position where the previous one ended.
    double headingOffset = 0.0;
    double offsetX = 0.0;
    double offsetY = 0.0;
    for (long lap = 0; lap < laps; ++lap) {
        offsetX += lapEnd_.x * std::cos(headingOffset) + lapEnd_.y * std::sin(headingOffset);
        offsetY += -lapEnd_.x * std::sin(headingOffset) + lapEnd_.y * std::cos(headingOffset);
        headingOffset += lapEnd_.heading;
    }
    const PathPoint local = pathAt(t);
    const double heading = headingOffset + local.heading;

    VehicleMotion motion;
    motion.time = time;
    motion.worldX = offsetX + local.x * std::cos(headingOffset) + local.y * std::sin(headingOffset);
    motion.worldY = offsetY - local.x * std::sin(headingOffset) + local.y * std::cos(headingOffset);
    motion.worldZ = bodyHeight(t);

    motion.yaw = wrapAngle(heading);
    motion.pitch = pitchAngle(t);
    motion.roll = rollAngle(t);
    motion.yawRate = yawRateAt(t);
    motion.pitchRate = rate(pitchAngle, t);
    motion.rollRate = rate(rollAngle, t);
    motion.yawAccel = rate(yawRateAt, t);
    motion.pitchAccel = secondRate(pitchAngle, t);
    motion.rollAccel = secondRate(rollAngle, t);

    // The vehicle's axes in the world, turned by heading, then pitch, then roll.
    const double sh = std::sin(heading), ch = std::cos(heading);
    const double sp = std::sin(motion.pitch), cp = std::cos(motion.pitch);
    const double sr = std::sin(motion.roll), cr = std::cos(motion.roll);
    const Vector levelForward{sh, ch, 0.0};
    const Vector levelRight{ch, -sh, 0.0};
    const Vector worldUp{0.0, 0.0, 1.0};
    const Vector forward = cp * levelForward + sp * worldUp;
    const Vector pitchedUp = cp * worldUp - sp * levelForward;
    const Vector right = cr * levelRight + sr * pitchedUp;
    const Vector up = cr * pitchedUp - sr * levelRight;

    // World velocity and acceleration: along the path, around the corner, over the bumps.
    const double speed = scriptSpeed(t);
    const Vector velocity = speed * levelForward + rate(bodyHeight, t) * worldUp;
    const Vector acceleration = longitudinalAcceleration(t) * levelForward +
                                lateralAcceleration(t) * levelRight + secondRate(bodyHeight, t) * worldUp;

    motion.lateralSpeed = dot(velocity, right);
    motion.longitudinalSpeed = dot(velocity, forward);
    motion.verticalSpeed = dot(velocity, up);
    motion.lateralAccel = dot(acceleration, right);
    motion.longitudinalAccel = dot(acceleration, forward);
    motion.verticalAccel = dot(acceleration, up);
    return motion;
}

}  // namespace tarvelin::emulator
