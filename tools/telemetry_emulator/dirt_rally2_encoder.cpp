#include "dirt_rally2_encoder.h"

#include <cmath>
#include <numbers>

#include "byte_writer.h"
#include "datagram_feed.h"

namespace tarvelin::emulator {

namespace {

constexpr double gravity = 9.80665;

}  // namespace

double dirtRally2Yaw(const VehicleMotion& m) { return std::remainder(m.yaw + std::numbers::pi / 2.0, 2.0 * std::numbers::pi); }

std::vector<std::uint8_t> encodeDirtRally2Datagram(const VehicleMotion& m) {
    std::vector<std::uint8_t> datagram(96);
    const std::span<std::uint8_t> bytes(datagram);
    // World position (x east, y up, z north) and velocity in the car's axes.
    putFloat(bytes, 0, m.worldX);
    putFloat(bytes, 4, m.worldZ);
    putFloat(bytes, 8, m.worldY);
    putFloat(bytes, 12, m.lateralSpeed);
    putFloat(bytes, 16, m.verticalSpeed);
    putFloat(bytes, 20, m.longitudinalSpeed);
    // G-forces without gravity; lateral counted to the left.
    putFloat(bytes, 24, -m.lateralAccel / gravity);
    putFloat(bytes, 28, m.longitudinalAccel / gravity);
    putFloat(bytes, 32, m.verticalAccel / gravity);
    // 36 to 44 are not sent by this emulator. Pitch is counted nose down.
    putFloat(bytes, 48, -m.pitch);
    putFloat(bytes, 52, -m.pitchRate);
    putFloat(bytes, 56, -m.pitchAccel);
    putFloat(bytes, 60, m.roll);
    putFloat(bytes, 64, m.rollRate);
    putFloat(bytes, 68, m.rollAccel);
    // 72 to 80 (heave) are not sent either.
    putFloat(bytes, 84, dirtRally2Yaw(m));
    putFloat(bytes, 88, m.yawRate);
    putFloat(bytes, 92, m.yawAccel);
    return datagram;
}

const GameEncoder dirtRally2Encoder{"dirtrally2", "DirtRally2", 60.0, Transport::datagrams, 20778, nullptr,
                                    openDatagramFeed<encodeDirtRally2Datagram>};

}  // namespace tarvelin::emulator
