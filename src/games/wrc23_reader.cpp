#include "games/wrc23_reader.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "games/gravity_split.h"
#include "games/udp_reading.h"

namespace tarvelin {

namespace {

constexpr double degreesPerRadian = 180.0 / std::numbers::pi;

struct Direction {
    double x, y, z;
};

// The unit vector of the three floats at `offset`, or nothing when they have no length.
std::optional<Direction> directionAt(std::span<const std::uint8_t> datagram, std::size_t offset) {
    const double x = floatAt(datagram, offset), y = floatAt(datagram, offset + 4), z = floatAt(datagram, offset + 8);
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0) || !std::isfinite(length)) return std::nullopt;
    return Direction{x / length, y / length, z / length};
}

// The attitude of a car whose body axes point along these world directions. Each angle is taken
// against the world's vertical, so pitch and roll mean the same at every heading: pitch from the
// forward direction's rise, roll from the rise of the right side against the up direction's,
// heading from the forward direction's track.
Wrc23Attitude attitudeOf(const Direction& left, const Direction& forward, const Direction& up) {
    return Wrc23Attitude{
        .yaw = -std::atan2(forward.z, forward.x) * degreesPerRadian,
        .roll = std::atan2(-left.y, up.y) * degreesPerRadian,
        .pitch = std::asin(std::clamp(forward.y, -1.0, 1.0)) * degreesPerRadian,
    };
}

// The change from `before` to `after`, the short way round.
double angleChange(double before, double after) { return std::remainder(after - before, 360.0); }

}  // namespace

std::optional<Wrc23Frame> decodeWrc23Datagram(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < wrc23ValuesEnd) return std::nullopt;
    Wrc23Frame frame{};
    for (std::size_t i = 0; i < 3; ++i) {
        frame.velocity[i] = floatAt(datagram, 61 + 4 * i);
        frame.acceleration[i] = floatAt(datagram, 73 + 4 * i);
        if (!std::isfinite(frame.velocity[i]) || !std::isfinite(frame.acceleration[i])) return std::nullopt;
    }
    const auto left = directionAt(datagram, 85);
    const auto forward = directionAt(datagram, 97);
    const auto up = directionAt(datagram, 109);
    if (!left || !forward || !up) return std::nullopt;
    frame.attitude = attitudeOf(*left, *forward, *up);
    return frame;
}

void applyWrc23Frame(const Wrc23Frame& frame, double frameTimeMs, std::optional<Wrc23Attitude>& previous,
                     GameData& record) {
    auto& c = record.channels;
    c[lateralSpeed] = frame.velocity[0];
    c[longitudinalSpeed] = frame.velocity[1];
    c[verticalSpeed] = frame.velocity[2];
    c[longitudinalAccel] = frame.acceleration[0];
    c[lateralAccel] = frame.acceleration[1];
    c[verticalAccel] = frame.acceleration[2];
    const Wrc23Attitude& now = frame.attitude;
    c[yawPosition] = now.yaw;
    c[rollPosition] = now.roll;
    c[pitchPosition] = now.pitch;

    // A long gap (a pause, a restart of the stage) is taken as one frame at the game's usual rate.
    double seconds = frameTimeMs / 1000.0;
    if (seconds > 0.03) seconds = 0.02;
    if (!previous) {
        c[yawSpeed] = c[rollSpeed] = c[pitchSpeed] = 0.0;
    } else if (seconds > 0.0) {
        c[yawSpeed] = angleChange(previous->yaw, now.yaw) / seconds;
        c[rollSpeed] = angleChange(previous->roll, now.roll) / seconds;
        c[pitchSpeed] = angleChange(previous->pitch, now.pitch) / seconds;
    }
    previous = now;
}

int Wrc23Reader::connect(int port) {
    previous.reset();
    return endpoint.open(port) == 1 ? 1 : 0;
}

bool Wrc23Reader::read(GameData& record) {
    const auto datagram = takeDatagram(*this);
    if (datagram.size() < wrc23MinimumSize) return false;
    const auto frame = decodeWrc23Datagram(datagram);
    if (!frame) return false;
    stampFrame(*this, record);
    applyWrc23Frame(*frame, record.frameTimeMs, previous, record);
    applyGravitySplit(record, GravityForm::sum);
    return true;
}

}  // namespace tarvelin
