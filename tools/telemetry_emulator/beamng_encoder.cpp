#include "beamng_encoder.h"

#include <cmath>
#include <cstring>

namespace tarvelin::emulator {

namespace {

void putFloat(std::array<std::uint8_t, 88>& frame, std::size_t offset, double value) {
    const auto single = static_cast<float>(value);
    std::uint32_t bits;
    std::memcpy(&bits, &single, sizeof bits);
    for (std::size_t i = 0; i < 4; ++i) frame[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::vector<std::uint8_t> encodeDatagram(const VehicleMotion& motion) {
    const auto frame = encodeBeamNgFrame(motion);
    return {frame.begin(), frame.end()};
}

}  // namespace

std::array<std::uint8_t, 88> encodeBeamNgFrame(const VehicleMotion& m) {
    std::array<std::uint8_t, 88> frame{'B', 'N', 'G', '1'};
    putFloat(frame, 4, m.worldX);
    putFloat(frame, 8, m.worldY);
    putFloat(frame, 12, m.worldZ);
    // The game counts its linear axes the other way round from the engine.
    putFloat(frame, 16, -m.lateralSpeed);
    putFloat(frame, 20, -m.longitudinalSpeed);
    putFloat(frame, 24, -m.verticalSpeed);
    putFloat(frame, 28, -m.lateralAccel);
    putFloat(frame, 32, -m.longitudinalAccel);
    putFloat(frame, 36, -m.verticalAccel);
    // The vehicle's up direction in the world.
    const double sh = std::sin(m.yaw), ch = std::cos(m.yaw);
    const double sp = std::sin(m.pitch), cp = std::cos(m.pitch);
    const double sr = std::sin(m.roll), cr = std::cos(m.roll);
    putFloat(frame, 40, -cr * sp * sh - sr * ch);
    putFloat(frame, 44, -cr * sp * ch + sr * sh);
    putFloat(frame, 48, cr * cp);
    // The game counts yaw counter-clockwise.
    putFloat(frame, 52, m.roll);
    putFloat(frame, 56, m.pitch);
    putFloat(frame, 60, -m.yaw);
    putFloat(frame, 64, m.rollRate);
    putFloat(frame, 68, m.pitchRate);
    putFloat(frame, 72, -m.yawRate);
    putFloat(frame, 76, m.rollAccel);
    putFloat(frame, 80, m.pitchAccel);
    putFloat(frame, 84, -m.yawAccel);
    return frame;
}

const GameEncoder beamNgEncoder{"beamng", 4444, 100.0, encodeDatagram};

}  // namespace tarvelin::emulator
