#include "assetto_corsa_encoder.h"

#include <memory>

#include "block_feed.h"
#include "byte_writer.h"

namespace tarvelin::emulator {

namespace {

constexpr double g = 9.81;  // the game's g

std::int32_t graphicsStatus(GameStatus status) {
    switch (status) {
        case GameStatus::live: return 2;
        case GameStatus::paused: return 3;
        case GameStatus::inReplay: return 1;
        case GameStatus::inMenus:
        case GameStatus::notConnected: break;
    }
    return 0;
}

class AssettoCorsaFeed : public GameFeed {
public:
    bool ready() const override { return physics_.ready() && graphics_.ready(); }

    bool publish(const VehicleMotion& motion, GameStatus status) override {
        if (!ready()) return false;
        writeAssettoCorsaPhysics(physics_.draft(), motion, status);
        putInt32(graphics_.draft(), 4, graphicsStatus(status));
        physics_.publish(assettoCorsaPacketStamp);
        graphics_.publish();
        return true;
    }

    std::string destination() const override { return physics_.destination() + " and " + graphics_.destination(); }

private:
    SharedBlock physics_{L"Local\\acpmf_physics", 712};
    SharedBlock graphics_{L"Local\\acpmf_graphics", 1320};
};

std::unique_ptr<GameFeed> openFeed(std::uint16_t) { return std::make_unique<AssettoCorsaFeed>(); }

}  // namespace

void writeAssettoCorsaPhysics(std::span<std::uint8_t> p, const VehicleMotion& m, GameStatus status) {
    if (status != GameStatus::live) return;
    // Accelerations in g; the game's y axis points down.
    putFloat(p, 44, m.lateralAccel / g);
    putFloat(p, 48, -m.verticalAccel / g);
    putFloat(p, 52, m.longitudinalAccel / g);
    // Heading and roll count the other way round from the engine's, pitch the same way.
    putFloat(p, 208, -m.yaw);
    putFloat(p, 212, m.pitch);
    putFloat(p, 216, -m.roll);
    putFloat(p, 296, m.pitchRate);
    putFloat(p, 300, m.yawRate);
    putFloat(p, 304, m.rollRate);
    putFloat(p, 568, m.lateralSpeed);
    putFloat(p, 572, m.verticalSpeed);
    putFloat(p, 576, m.longitudinalSpeed);
    std::uint32_t packetNumber = 0;
    for (std::size_t i = 0; i < 4; ++i) packetNumber |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    putUnsigned(p, 0, packetNumber + 1, 4);
}

const GameEncoder assettoCorsaEncoder{"assettocorsa", "AssettoCorsa/Comp.", 333.0, Transport::sharedMemory, 0, nullptr,
                                      openFeed};

}  // namespace tarvelin::emulator
