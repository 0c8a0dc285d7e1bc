#include "wrc23_encoder.h"

#include <cmath>

#include "byte_writer.h"
#include "datagram_feed.h"

namespace tarvelin::emulator {

namespace {

constexpr double framesPerSecond = 60.0;

struct Vector {
    double x, y, z;
};

void putVector(std::span<std::uint8_t> bytes, std::size_t offset, const Vector& v) {
    putFloat(bytes, offset, v.x);
    putFloat(bytes, offset + 4, v.y);
    putFloat(bytes, offset + 8, v.z);
}

Vector operator*(double k, const Vector& v) { return {k * v.x, k * v.y, k * v.z}; }
Vector operator+(const Vector& a, const Vector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

}  // namespace

std::vector<std::uint8_t> encodeWrc23Datagram(const VehicleMotion& m) {
    std::vector<std::uint8_t> datagram(wrc23PacketSize);
    const std::span<std::uint8_t> bytes(datagram);
    const auto frame = static_cast<std::uint64_t>(std::llround(m.time * framesPerSecond));
    putUnsigned(bytes, 0, frame, 8);  // packet id
    putFloat(bytes, 8, m.time);       // game time
    putFloat(bytes, 12, 1.0 / framesPerSecond);
    putUnsigned(bytes, 16, frame, 8);
    putFloat(bytes, 41, m.longitudinalSpeed);
    // Position in the world's axes: y up; at heading 0 the car faces +x with +z on its right.
    putFloat(bytes, 49, m.worldY);
    putFloat(bytes, 53, m.worldZ);
    putFloat(bytes, 57, m.worldX);
    putFloat(bytes, 61, m.lateralSpeed);
    putFloat(bytes, 65, m.longitudinalSpeed);
    putFloat(bytes, 69, m.verticalSpeed);
    putFloat(bytes, 73, m.longitudinalAccel);
    putFloat(bytes, 77, m.lateralAccel);
    putFloat(bytes, 81, m.verticalAccel);

    // The car's axes in the world: heading turns the car about the vertical, pitch about its
    // right axis, roll (right side up) about its forward axis.
    const double sh = std::sin(m.yaw), ch = std::cos(m.yaw);
    const double sp = std::sin(m.pitch), cp = std::cos(m.pitch);
    const double sr = std::sin(m.roll), cr = std::cos(m.roll);
    const Vector forward{cp * ch, sp, cp * sh};
    const Vector levelRight{-sh, 0.0, ch};
    const Vector pitchedUp{-sp * ch, cp, -sp * sh};
    const Vector right = cr * levelRight + sr * pitchedUp;
    const Vector up = cr * pitchedUp + (-sr) * levelRight;
    putVector(bytes, 85, -1.0 * right);
    putVector(bytes, 97, forward);
    putVector(bytes, 109, up);
    // The wheels, engine and stage values after 121 stay 0 here.
    return datagram;
}

const GameEncoder wrc23Encoder{"wrc23", "WRC23", framesPerSecond, Transport::datagrams, 20788, nullptr,
                               openDatagramFeed<encodeWrc23Datagram>};

}  // namespace tarvelin::emulator
