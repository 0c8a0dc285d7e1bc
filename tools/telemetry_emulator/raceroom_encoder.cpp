#include "raceroom_encoder.h"

#include <memory>

#include "block_feed.h"
#include "byte_writer.h"
#include "left_up_back_axes.h"

namespace tarvelin::emulator {

namespace {

constexpr std::int32_t yes = 1;

void writeNewest(std::span<std::uint8_t> block, const VehicleMotion& motion, GameStatus status) {
    writeRaceRoomBlock(block, motion, status, raceRoom3_5);
}

std::unique_ptr<GameFeed> openFeed(std::uint16_t) { return std::make_unique<BlockFeed>(L"$R3E", 39320, writeNewest); }

}  // namespace

void writeRaceRoomBlock(std::span<std::uint8_t> block, const VehicleMotion& m, GameStatus status,
                        const RaceRoomLayoutVersion& version) {
    putInt32(block, 0, version.major);
    putInt32(block, 4, version.minor);
    // A game without a session shows its menus.
    putInt32(block, version.pausedOffset, status == GameStatus::paused ? yes : 0);
    putInt32(block, version.pausedOffset + 4,
             status == GameStatus::inMenus || status == GameStatus::notConnected ? yes : 0);
    putInt32(block, version.pausedOffset + 8, status == GameStatus::inReplay ? yes : 0);
    if (status != GameStatus::live) return;
    const std::size_t s = version.playerShift;
    putLeftUpBackVector(block, 96 + s, m.lateralSpeed, m.verticalSpeed, m.longitudinalSpeed);
    putLeftUpBackVector(block, 144 + s, m.lateralAccel, m.verticalAccel, m.longitudinalAccel);
    putLeftUpBackRotation(block, 168 + s, m.pitch, m.yaw, m.roll);
    putLeftUpBackRotation(block, 216 + s, m.pitchAccel, m.yawAccel, m.rollAccel);
    putLeftUpBackRotation(block, 240 + s, m.pitchRate, m.yawRate, m.rollRate);
}

const GameEncoder raceRoomEncoder{"raceroom", "RaceRoom", 100.0, Transport::sharedMemory, 0, "RRRE64.exe", openFeed};

}  // namespace tarvelin::emulator
