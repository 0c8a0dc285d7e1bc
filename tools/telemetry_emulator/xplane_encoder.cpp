#include "xplane_encoder.h"

#include <cmath>
#include <numbers>

#include "aircraft_gear.h"
#include "byte_writer.h"
#include "datagram_feed.h"

namespace tarvelin::emulator {

namespace {

constexpr double gravity = 9.80665;
constexpr double degreesPerRadian = 180.0 / std::numbers::pi;
constexpr std::size_t headerSize = 5;
constexpr std::size_t recordSize = 36;

void putRecord(std::vector<std::uint8_t>& datagram, std::int32_t row, const float (&values)[8]) {
    const std::size_t start = datagram.size();
    datagram.resize(start + recordSize);
    const std::span<std::uint8_t> bytes(datagram);
    putInt32(bytes, start, row);
    for (std::size_t i = 0; i < 8; ++i) putFloat(bytes, start + 4 + 4 * i, values[i]);
}

float f(double value) { return static_cast<float>(value); }

}  // namespace

double xPlaneHeading(const VehicleMotion& m) {
    const double heading = std::fmod(m.yaw * degreesPerRadian, 360.0);
    return heading < 0.0 ? heading + 360.0 : heading;
}

std::vector<std::uint8_t> encodeXPlaneDatagram(const VehicleMotion& m) {
    std::vector<std::uint8_t> datagram{'D', 'A', 'T', 'A', '*'};
    datagram.reserve(headerSize + 4 * recordSize);
    constexpr float empty = xPlaneEmptyField;

    // Speeds: indicated, equivalent, true and ground speed in knots, then in miles per hour (no
    // wind, so air and ground speed agree).
    const double knots = m.longitudinalSpeed * 3600.0 / 1852.0;
    const double mph = m.longitudinalSpeed * 3600.0 / 1609.344;
    putRecord(datagram, 3, {f(knots), f(knots), f(knots), f(knots), empty, f(mph), f(mph), f(mph)});

    // Pitch, roll, true and magnetic heading (a variation of 2° east).
    const double heading = xPlaneHeading(m);
    putRecord(datagram, 17,
              {f(m.pitch * degreesPerRadian), f(m.roll * degreesPerRadian), f(heading),
               f(std::fmod(heading + 358.0, 360.0)), empty, empty, empty, empty});

    const GearLoads gear = gearLoads(m);
    putRecord(datagram, 66, {f(gear.nose), f(gear.rightMain), f(gear.leftMain), 0.0f, 0.0f, empty, empty, empty});

    // The felt accelerations (gravity included) and the body rates; the simulator counts the
    // longitudinal axis backward and yaw anticlockwise, and sends the vertical force ten-fold.
    const double lateralG = m.lateralAccel + gravity * std::cos(m.pitch) * std::sin(m.roll);
    const double longitudinalG = m.longitudinalAccel + gravity * std::sin(m.pitch);
    const double verticalG = m.verticalAccel + gravity * std::cos(m.pitch) * std::cos(m.roll);
    putRecord(datagram, 135,
              {f(lateralG), f(verticalG * 10.0), f(-longitudinalG), f(m.rollRate * degreesPerRadian),
               f(m.pitchRate * degreesPerRadian), f(-m.yawRate * degreesPerRadian), empty, empty});
    return datagram;
}

const GameEncoder xPlaneEncoder{"xplane", "Xplane", 50.0, Transport::datagrams, 4321, "X-Plane.exe",
                                openDatagramFeed<encodeXPlaneDatagram>};

}  // namespace tarvelin::emulator
