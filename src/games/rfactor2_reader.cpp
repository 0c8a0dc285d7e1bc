#include "games/rfactor2_reader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>

namespace tarvelin {

namespace {

constexpr double pi = std::numbers::pi;
// The rotational accelerations are converted with π to fourteen decimals.
constexpr double accelerationPi = 3.14159265358979;

constexpr BlockField fields[] = {
    {184, lateralSpeed, -1.0, false},
    {192, verticalSpeed, 1.0, false},
    {200, longitudinalSpeed, -1.0, false},
    {208, lateralAccel, -1.0, false},
    {216, verticalAccel, 1.0, false},
    {224, longitudinalAccel, -1.0, false},
    {304, pitchSpeed, 1.0, true},
    {312, yawSpeed, -1.0, true},
    {320, rollSpeed, 1.0, true},
};

constexpr BlockField accelerationFields[] = {
    {328, pitchAccel, 1.0, true},
    {336, yawAccel, -1.0, true},
    {344, rollAccel, 1.0, true},
};

constexpr std::size_t orientationOffset = 232;

struct Quaternion {
    double w, x, y, z;
};

// The unit quaternion of a rotation matrix, from whichever of its diagonal terms is largest, so
// that the square root is never taken of a small or negative number.
Quaternion quaternionOf(const double (&m)[9]) {
    const double trace = m[0] + m[4] + m[8] + 1.0;
    if (trace > 0.0625) {
        const double s = std::sqrt(trace), k = 0.5 / s;
        return {0.5 * s, (m[7] - m[5]) * k, (m[2] - m[6]) * k, (m[3] - m[1]) * k};
    }
    if (m[0] > m[4] && m[0] > m[8]) {
        const double s = std::sqrt(m[0] + 1.0 - m[4] - m[8]), k = 0.5 / s;
        return {(m[7] - m[5]) * k, 0.5 * s, (m[3] + m[1]) * k, (m[6] + m[2]) * k};
    }
    if (m[4] > m[8]) {
        const double s = std::sqrt(m[4] + 1.0 - m[0] - m[8]), k = 0.5 / s;
        return {(m[2] - m[6]) * k, (m[3] + m[1]) * k, 0.5 * s, (m[7] + m[5]) * k};
    }
    const double s = std::sqrt(m[8] + 1.0 - m[0] - m[4]), k = 0.5 / s;
    return {(m[3] - m[1]) * k, (m[2] + m[6]) * k, (m[7] + m[5]) * k, 0.5 * s};
}

double degrees(double radians) { return radians / pi * 180.0; }

}  // namespace

bool applyRFactor2Block(BlockBytes block, double& lastElapsedTime, GameData& record) {
    if (block.size() < rFactor2BytesRead) return false;
    // A clock that went back is a session restarted, and its frames are new ones.
    const double elapsedTime = float64At(block, 12);
    if (elapsedTime == lastElapsedTime || !std::isfinite(elapsedTime)) return false;

    const auto rates = decodeFields<double>(block, fields, pi);
    const auto accelerations = decodeFields<double>(block, accelerationFields, accelerationPi);
    double m[9];
    for (std::size_t i = 0; i < 9; ++i) m[i] = float64At(block, orientationOffset + 8 * i);
    const Quaternion q = quaternionOf(m);
    // Rounding can carry the sine of a roll of ±90° just past ±1, where asin has no value.
    const double rollSine = std::clamp(2.0 * (q.x * q.y + q.w * q.z), -1.0, 1.0);
    const DecodedFrame<3> attitude{
        {yawPosition, rollPosition, pitchPosition},
        {-degrees(std::atan2(2.0 * (q.w * q.y - q.x * q.z), 1.0 - 2.0 * (q.y * q.y + q.z * q.z))),
         degrees(std::asin(rollSine)),
         degrees(std::atan2(2.0 * (q.w * q.x - q.y * q.z), 1.0 - 2.0 * (q.x * q.x + q.z * q.z)))},
    };
    // The plugin writes the block while the engine reads it. When the clock moved on meanwhile,
    // the fields may belong to two updates: the next call takes the newer one whole.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (float64At(block, 12) != elapsedTime) return false;
    lastElapsedTime = elapsedTime;
    if (!rates.allFinite() || !accelerations.allFinite() || !attitude.allFinite()) return false;
    rates.commitTo(record);
    accelerations.commitTo(record);
    attitude.commitTo(record);
    return true;
}

bool RFactor2Reader::read(GameData& record) {
    return deliverBlockFrame(opened && applyRFactor2Block(viewBytes(block), lastElapsedTime, record), *this, record);
}

}  // namespace tarvelin
