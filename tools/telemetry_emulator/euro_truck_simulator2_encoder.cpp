#include "euro_truck_simulator2_encoder.h"

#include <cmath>
#include <memory>
#include <numbers>

#include "block_feed.h"
#include "byte_writer.h"

namespace tarvelin::emulator {

namespace {

constexpr double turn = 2.0 * std::numbers::pi;

std::unique_ptr<GameFeed> openFeed(std::uint16_t) {
    return std::make_unique<BlockFeed>(L"SCSTelemetryExample", 177, writeEuroTruckSimulator2Block);
}

void putVector(std::span<std::uint8_t> block, std::size_t offset, double lateral, double vertical, double longitudinal) {
    putFloat(block, offset, lateral);
    putFloat(block, offset + 4, vertical);
    putFloat(block, offset + 8, -longitudinal);
}

// Rates and accelerations of pitch, yaw and roll, in turns.
void putRotation(std::span<std::uint8_t> block, std::size_t offset, double pitch, double yaw, double roll) {
    putFloat(block, offset, pitch / turn);
    putFloat(block, offset + 4, yaw / turn);
    putFloat(block, offset + 8, -roll / turn);
}

}  // namespace

double euroTruckSimulator2EngineRpm(const VehicleMotion& motion) {
    // One long gear from idle up.
    return 600.0 + 60.0 * std::abs(motion.longitudinalSpeed);
}

void writeEuroTruckSimulator2Block(std::span<std::uint8_t> block, const VehicleMotion& m, GameStatus status) {
    block[0] = status == GameStatus::live ? 1 : 0;
    if (status != GameStatus::live) return;
    // The heading runs from 0 to 1 turn.
    const double heading = m.yaw / turn;
    putFloat(block, 25, heading < 0.0 ? heading + 1.0 : heading);
    putFloat(block, 29, m.pitch / turn);
    putFloat(block, 33, -m.roll / turn);
    putFloat(block, 41, m.longitudinalSpeed);
    putFloat(block, 45, euroTruckSimulator2EngineRpm(m));
    putVector(block, 69, m.lateralSpeed, m.verticalSpeed, m.longitudinalSpeed);
    putRotation(block, 81, m.pitchRate, m.yawRate, m.rollRate);
    putVector(block, 93, m.lateralAccel, m.verticalAccel, m.longitudinalAccel);
    putRotation(block, 105, m.pitchAccel, m.yawAccel, m.rollAccel);
}

const GameEncoder euroTruckSimulator2Encoder{"ets2", "ETSM2/AMT", 60.0, Transport::sharedMemory, 0, "eurotrucks2.exe",
                                             openFeed};

}  // namespace tarvelin::emulator
