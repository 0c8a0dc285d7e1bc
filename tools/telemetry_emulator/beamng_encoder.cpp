#include "beamng_encoder.h"

#include <cmath>

#include "byte_writer.h"
#include "datagram_feed.h"

namespace tarvelin::emulator {

namespace {

std::vector<std::uint8_t> encodeDatagram(const VehicleMotion& motion) {
    const auto frame = encodeBeamNgFrame(motion);
    return {frame.begin(), frame.end()};
}

}  // namespace

std::array<std::uint8_t, 88> encodeBeamNgFrame(const VehicleMotion& m) {
    std::array<std::uint8_t, 88> frame{'B', 'N', 'G', '1'};
    const std::span<std::uint8_t> bytes(frame);
    putFloat(bytes, 4, m.worldX);
    putFloat(bytes, 8, m.worldY);
    putFloat(bytes, 12, m.worldZ);
    // The game counts its linear axes the other way round from the engine.
    putFloat(bytes, 16, -m.lateralSpeed);
    putFloat(bytes, 20, -m.longitudinalSpeed);
    putFloat(bytes, 24, -m.verticalSpeed);
    putFloat(bytes, 28, -m.lateralAccel);
    putFloat(bytes, 32, -m.longitudinalAccel);
    putFloat(bytes, 36, -m.verticalAccel);
    // The vehicle's up direction in the world.
    const double sh = std::sin(m.yaw), ch = std::cos(m.yaw);
    const double sp = std::sin(m.pitch), cp = std::cos(m.pitch);
    const double sr = std::sin(m.roll), cr = std::cos(m.roll);
    putFloat(bytes, 40, -cr * sp * sh - sr * ch);
    putFloat(bytes, 44, -cr * sp * ch + sr * sh);
    putFloat(bytes, 48, cr * cp);
    // The game counts yaw counter-clockwise.
    putFloat(bytes, 52, m.roll);
    putFloat(bytes, 56, m.pitch);
    putFloat(bytes, 60, -m.yaw);
    putFloat(bytes, 64, m.rollRate);
    putFloat(bytes, 68, m.pitchRate);
    putFloat(bytes, 72, -m.yawRate);
    putFloat(bytes, 76, m.rollAccel);
    putFloat(bytes, 80, m.pitchAccel);
    putFloat(bytes, 84, -m.yawAccel);
    return frame;
}

const GameEncoder beamNgEncoder{"beamng", "BeamNG", 100.0, Transport::datagrams, 4444, nullptr, openDatagramFeed<encodeDatagram>};

}  // namespace tarvelin::emulator
