#include "project_cars2_encoder.h"

#include <memory>

#include "block_feed.h"
#include "byte_writer.h"

namespace tarvelin::emulator {

namespace {

std::int32_t gameState(GameStatus status) {
    switch (status) {
        case GameStatus::live: return 2;
        case GameStatus::paused: return 3;
        case GameStatus::inMenus: return 1;
        case GameStatus::inReplay: return 6;
        case GameStatus::notConnected: break;
    }
    return 0;
}

template <std::size_t Size>
std::unique_ptr<GameFeed> openFeed(std::uint16_t) {
    return std::make_unique<BlockFeed>(L"$pcars2$", Size, writeProjectCars2Block);
}

void putTriple(std::span<std::uint8_t> block, std::size_t offset, double first, double second, double third) {
    putFloat(block, offset, first);
    putFloat(block, offset + 4, second);
    putFloat(block, offset + 8, third);
}

}  // namespace

void writeProjectCars2Block(std::span<std::uint8_t> block, const VehicleMotion& m, GameStatus status) {
    putInt32(block, 8, gameState(status));
    if (status != GameStatus::live) return;
    putTriple(block, 6908, m.pitch, -m.yaw, m.roll);
    putTriple(block, 6920, m.lateralSpeed, m.verticalSpeed, m.longitudinalSpeed);
    putTriple(block, 6944, m.pitchRate, -m.yawRate, m.rollRate);
    putTriple(block, 6956, m.lateralAccel, m.verticalAccel, m.longitudinalAccel);
}

const GameEncoder projectCars2Encoder{"pcars2", "PCAR2/Automobilista2", 100.0, Transport::sharedMemory, 0, nullptr,
                                      openFeed<projectCars2BlockSize>};
const GameEncoder automobilista2Encoder{"automobilista2", "PCAR2/Automobilista2", 100.0, Transport::sharedMemory, 0,
                                        nullptr, openFeed<automobilista2BlockSize>};

}  // namespace tarvelin::emulator
