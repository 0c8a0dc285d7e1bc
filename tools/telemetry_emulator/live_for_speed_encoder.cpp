#include "live_for_speed_encoder.h"

#include <cmath>

#include "byte_writer.h"
#include "datagram_feed.h"

namespace tarvelin::emulator {

std::vector<std::uint8_t> encodeOutSimPacket(const VehicleMotion& m) {
    std::vector<std::uint8_t> packet(280);
    const std::span<std::uint8_t> bytes(packet);
    packet[0] = 'L';
    packet[1] = 'F';
    packet[2] = 'S';
    packet[3] = 'T';
    putInt32(bytes, 4, 0);  // OutSim ID
    putUnsigned(bytes, 8, static_cast<std::uint64_t>(std::llround(m.time * 1000.0)), 4);
    // The game's axes: X right, Y forward, Z up, and every angle anticlockwise about its axis, so
    // that yaw and roll (right side down) turn the other way from the engine's.
    putFloat(bytes, 12, m.pitchRate);
    putFloat(bytes, 16, -m.rollRate);
    putFloat(bytes, 20, -m.yawRate);
    putFloat(bytes, 24, -m.yaw);
    putFloat(bytes, 28, m.pitch);
    putFloat(bytes, 32, -m.roll);
    putFloat(bytes, 36, m.lateralAccel);
    putFloat(bytes, 40, m.longitudinalAccel);
    putFloat(bytes, 44, m.verticalAccel);
    putFloat(bytes, 48, m.lateralSpeed);
    putFloat(bytes, 52, m.longitudinalSpeed);
    putFloat(bytes, 56, m.verticalSpeed);
    // Position in the world, 65536 to the metre.
    putInt32(bytes, 60, static_cast<std::int32_t>(std::lround(m.worldX * 65536.0)));
    putInt32(bytes, 64, static_cast<std::int32_t>(std::lround(m.worldY * 65536.0)));
    putInt32(bytes, 68, static_cast<std::int32_t>(std::lround(m.worldZ * 65536.0)));
    // Inputs, drive, distance, wheels and the extra values from 72 on stay 0 here.
    return packet;
}

const GameEncoder liveForSpeedEncoder{"lfs", "LFS", 100.0, Transport::datagrams, 4123, "LFS.exe",
                                      openDatagramFeed<encodeOutSimPacket>};

}  // namespace tarvelin::emulator
