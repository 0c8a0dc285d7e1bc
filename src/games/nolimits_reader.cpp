#include "games/nolimits_reader.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "games/gravity_split.h"

namespace tarvelin {

namespace {

constexpr double degreesPerRadian = 57.29577951308232;

// The rate estimate: a turn between two frames counts when it lies between these bounds; it is
// taken as made over the game's usual frame time and smoothed with a slight decay.
constexpr double smallestTurn = 1e-5;          // rad
constexpr double largestTurn = 0.7853981633974483;  // rad
constexpr double framePeriodS = 0.01;
constexpr double rateWeight = 0.99;
constexpr double rateDecay = 0.98;

// The speed estimate: each axis integrates its smoothed acceleration with a slight leak, and
// returns to rest after a quiet spell.
constexpr double accelWeight = 0.1;
constexpr double speedLeak = 0.999;
constexpr double quietAccel = 0.2;   // m/s²
constexpr std::int32_t quietFramesToRest = 50;
constexpr double restSpeed = 0.1;    // m/s

struct Quaternion {
    double w, x, y, z;
};

Quaternion operator*(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quaternion conjugate(const Quaternion& q) { return {q.w, -q.x, -q.y, -q.z}; }

double squaredLength(const Quaternion& q) { return q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z; }

// Only for a quaternion of some length.
Quaternion unit(const Quaternion& q) {
    const double factor = 1.0 / std::sqrt(squaredLength(q));
    return {q.w * factor, q.x * factor, q.y * factor, q.z * factor};
}

bool allFinite(const NoLimitsTelemetry& t) {
    const float values[] = {t.speed,       t.rotation[0], t.rotation[1], t.rotation[2], t.rotation[3],
                            t.gForce[0],   t.gForce[1],   t.gForce[2]};
    return std::all_of(std::begin(values), std::end(values), [](float v) { return std::isfinite(v); });
}

// The angle turned since the last frame (rad), and the rate filters fed with it. Without a last
// frame the car has not turned.
double estimateRates(const Quaternion& current, NoLimitsMotion& motion) {
    const Quaternion previous{motion.previousRotation[0], motion.previousRotation[1], motion.previousRotation[2],
                              motion.previousRotation[3]};
    if (!(squaredLength(previous) > 0.0)) return 0.0;
    // The turn from the last orientation to this one, in the car's own axes, so that each axis
    // is the car's pitch, yaw or roll whichever way the car faces in the park.
    const Quaternion change = unit(conjugate(unit(previous)) * current);
    const double angle = 2.0 * std::acos(std::clamp(change.w, -1.0, 1.0));
    if (std::abs(angle) < smallestTurn || std::abs(angle) > largestTurn) return angle;
    const double sine = std::sqrt(std::max(0.0, 1.0 - change.w * change.w));
    const double divisor = sine >= smallestTurn ? sine : 1.0;
    const double axis[3] = {change.x / divisor, change.y / divisor, change.z / divisor};
    const double rate = angle / framePeriodS;
    for (std::size_t i = 0; i < 3; ++i) {
        double& filtered = motion.filteredRates[i];
        filtered = (filtered + rateWeight * (rate * axis[i] - filtered)) * rateDecay;
    }
    return angle;
}

void estimateSpeeds(GameData& record, NoLimitsMotion& motion) {
    static constexpr Channel accels[] = {lateralAccel, longitudinalAccel, verticalAccel};
    static constexpr Channel speeds[] = {lateralSpeed, longitudinalSpeed, verticalSpeed};
    const double seconds = record.frameTimeMs / 1000.0;
    for (std::size_t i = 0; i < 3; ++i) {
        double& filtered = motion.filteredAccels[i];
        double& integrator = motion.speedIntegrators[i];
        std::int32_t& quiet = motion.quietFrames[i];
        filtered += (record.channels[accels[i]] - filtered) * accelWeight;
        double speed = filtered * seconds + integrator;
        integrator = speed * speedLeak;
        // Saturates rather than overflowing on a ride that stands for months.
        quiet = std::abs(filtered) < quietAccel ? std::min(quiet + 1, quietFramesToRest + 1) : 0;
        if (quiet > quietFramesToRest && std::abs(integrator) < restSpeed) {
            integrator = 0.0;
            speed = 0.0;
        }
        record.channels[speeds[i]] = speed;
    }
}

}  // namespace

bool applyNoLimitsTelemetry(const NoLimitsTelemetry& telemetry, NoLimitsMotion& motion, GameData& record) {
    const Quaternion rotation{telemetry.rotation[3], telemetry.rotation[0], telemetry.rotation[1],
                              telemetry.rotation[2]};
    // A value that is not a number would stay in the rate and speed filters for good.
    if (!allFinite(telemetry) || !(squaredLength(rotation) > 0.0)) return false;
    if (telemetry.state == 0 || telemetry.frameNumber == motion.lastFrameNumber) return false;
    motion.lastFrameNumber = telemetry.frameNumber;

    auto& c = record.channels;
    c[landingGear] = static_cast<double>(telemetry.frameNumber);
    c[speed] = telemetry.speed;

    // Yaw about the park's up axis, then roll about the car's z axis, then pitch about its x axis.
    // Rounding can carry the sine of the roll a hair past 1, where asin has no value.
    const auto& [w, x, y, z] = rotation;
    c[rollPosition] = std::asin(std::clamp(2.0 * (w * z + x * y), -1.0, 1.0)) * degreesPerRadian;
    c[pitchPosition] = std::atan2(2.0 * (x * w - y * z), 1.0 - 2.0 * (x * x + z * z)) * degreesPerRadian;
    c[yawPosition] = std::atan2(2.0 * (y * w - z * x), 1.0 - 2.0 * (y * y + z * z)) * degreesPerRadian;

    const Quaternion orientation = unit(rotation);
    c[frontLeftSuspension] = estimateRates(orientation, motion);
    c[pitchSpeed] = motion.filteredRates[0] * degreesPerRadian;
    c[yawSpeed] = motion.filteredRates[1] * degreesPerRadian;
    c[rollSpeed] = motion.filteredRates[2] * degreesPerRadian;
    motion.previousRotation = {rotation.w, rotation.x, rotation.y, rotation.z};

    c[lateralAccelG] = static_cast<double>(telemetry.gForce[0]) * standardGravity * -1.0;
    c[verticalAccelG] = static_cast<double>(telemetry.gForce[1]) * standardGravity;
    c[longitudinalAccelG] = static_cast<double>(telemetry.gForce[2]) * standardGravity;

    // Gravity as the car feels it: the park's up, turned into the car's frame. Its back axis is
    // the engine's longitudinal axis the other way round.
    const Quaternion up = conjugate(orientation) * Quaternion{0.0, 0.0, standardGravity, 0.0} * orientation;
    c[lateralGravi] = up.x;
    c[verticalGravi] = up.y;
    c[longitudinalGravi] = -up.z;
    c[lateralAccel] = c[lateralAccelG] - c[lateralGravi];
    c[longitudinalAccel] = c[longitudinalAccelG] - c[longitudinalGravi];
    c[verticalAccel] = c[verticalAccelG] - c[verticalGravi];

    estimateSpeeds(record, motion);
    return true;
}

bool NoLimitsReader::read(GameData& record) {
    if (!connected) return false;
    if (!requestedAhead) requestTelemetry();
    requestedAhead = false;
    if (receiveAvailable() < 1) return false;
    timer.restart();
    // Host threads read the interval through an export while this thread writes it.
    std::atomic_ref<double>(record.frameTimeMs).store(timer.lastIntervalMs(), std::memory_order_relaxed);

    // Answers to earlier requests may have piled up; the newest frame is the one that counts.
    std::optional<NoLimitsTelemetry> newest;
    for (auto message = stream.next(); !message.empty(); message = stream.next()) {
        if (auto telemetry = parseNoLimitsTelemetry(message)) newest = telemetry;
    }
    return newest && applyNoLimitsTelemetry(*newest, motion, record);
}

}  // namespace tarvelin
