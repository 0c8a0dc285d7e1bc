// Detection, connection and disconnection against the games' real channels: processes under the
// games' executable names, shared-memory blocks, datagrams on the games' fixed UDP ports and a
// TCP telemetry server. The ports are the games' own, so these tests run one at a time.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "nolimits2_encoder.h"
#include "engine/motion_engine.h"
#include "game_fixtures.h"
#include "games/game_channels.h"
#include "games/game_source.h"
#include "platform/shared_memory.h"
#include "scripted_simulator.h"
#include "tarvelin/motion.h"
#include "telemetry_emulator.h"

namespace tarvelin {
namespace {

using emulator::GameProcess;

// A block as the game publishes it, with its first words set.
class GameBlock {
public:
    GameBlock(const wchar_t* name, std::size_t size) {
        created_ = block_.createOrOpen(name, size) && block_.map(platform::MapAccess::readWrite, size) != nullptr;
    }
    void setWord(std::size_t offset, std::uint32_t value) {
        std::memcpy(static_cast<std::uint8_t*>(block_.view()) + offset, &value, sizeof value);
    }
    bool created() const { return created_; }
    void close() { block_.close(); }

private:
    platform::SharedMemory block_;
    bool created_ = false;
};

class GameDetection : public testing::Test {
protected:
    test::ScriptedSimulator simulator;
    std::unique_ptr<GameSource> source = std::make_unique<GameSource>(simulator);

    // Runs `step` and returns what it printed to standard output.
    template <typename Step>
    static std::string printedBy(Step step) {
        testing::internal::CaptureStdout();
        step();
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(GameDetection, WithNothingRunningNoGameIsFoundAndStaleFlagsAreCleared) {
    source->activeFlags[indexOf(GameId::xPlane)].store(true);
    source->activeFlags[indexOf(GameId::wrc23)].store(true);

    EXPECT_EQ(source->detect(), 0);

    EXPECT_EQ(source->activeGame(), GameId::none);
    EXPECT_EQ(source->activeProfileSelector(), -1);
    EXPECT_EQ(source->connect(), 0);
    EXPECT_FALSE(source->readFrame());
    EXPECT_EQ(source->disconnect(), 0);
    // The scan asked for a Flight Simulator client twice (2020, then 2024) and got none.
    EXPECT_EQ(simulator.calls, (std::vector<std::string>{"open Tarvelin", "open Tarvelin"}));
}

TEST_F(GameDetection, ExportsNameTheFirstFlaggedGameInDetectionOrder) {
    auto& flags = MotionEngine::instance().gameSource.activeFlags;
    for (const GameId game : detectionOrder) {
        flags[indexOf(game)].store(true);
        char buffer[32];
        std::memset(buffer, 0x7F, sizeof buffer);
        getGameName(buffer);
        EXPECT_EQ(getGameID(), static_cast<int>(game));
        EXPECT_STREQ(buffer, gameName(game));
        EXPECT_EQ(buffer[21], 0x7F) << "wrote past 21 bytes for " << gameName(game);
        flags[indexOf(game)].store(false);
    }

    // Flight Simulator 2024 is looked for before RaceRoom despite its higher number.
    flags[indexOf(GameId::raceRoom)].store(true);
    flags[indexOf(GameId::flightSimulator2024)].store(true);
    char buffer[21];
    getGameName(buffer);
    EXPECT_STREQ(buffer, "MSFS2024");
    EXPECT_EQ(getGameID(), 15);
    flags[indexOf(GameId::flightSimulator2024)].store(false);
    getGameName(buffer);
    EXPECT_STREQ(buffer, "RaceRoom");
    EXPECT_EQ(getGameID(), 4);
    flags[indexOf(GameId::raceRoom)].store(false);

    getGameName(buffer);
    EXPECT_STREQ(buffer, "No Game online");
    EXPECT_EQ(getGameID(), -1);
    getGameName(nullptr);
}

TEST_F(GameDetection, RaceRoomWinsOverLaterGamesAndLosesToEarlierOnes) {
    GameProcess raceRoom("RRRE64.exe");
    ASSERT_TRUE(raceRoom.visible());
    GameBlock block(games::raceRoom.name, games::raceRoom.size);
    ASSERT_TRUE(block.created());
    test::DatagramStream beamNg(games::beamNgPort);

    std::string printed = printedBy([&] { EXPECT_EQ(source->detect(), 1); });
    EXPECT_EQ(source->activeGame(), GameId::raceRoom);
    EXPECT_EQ(printed, "Found RRRE.exe, mapping shared memory...\n");

    printed = printedBy([&] { EXPECT_EQ(source->connect(), 1); });
    EXPECT_EQ(printed, "Found RRRE.exe, mapping shared memory...\nMemory mapped successfully\n");
    EXPECT_TRUE(source->raceRoom.opened);
    // A block that is mapped already is not mapped a second time.
    EXPECT_EQ(source->connect(), 0);
    EXPECT_EQ(source->disconnect(), 1);
    EXPECT_EQ(source->raceRoom.block.view(), nullptr);

    // Assetto Corsa EVO is looked for before RaceRoom.
    GameProcess evo("AssettoCorsaEVO.exe");
    ASSERT_TRUE(evo.visible());
    GameBlock physics(games::assettoCorsaPhysics.name, games::assettoCorsaPhysics.size);
    ASSERT_TRUE(physics.created());
    EXPECT_EQ(source->detect(), 1);
    EXPECT_EQ(source->activeGame(), GameId::assettoCorsaEvo);
    EXPECT_FALSE(source->isFlagged(GameId::raceRoom));
    EXPECT_EQ(source->connect(), 1);
    EXPECT_NE(source->assettoCorsaEvo.block.view(), nullptr);
    EXPECT_EQ(source->disconnect(), 1);
}

TEST_F(GameDetection, ProjectCars2BlockIsMappedOnceAndAShortBlockDoesNotLockTheGameOut) {
    {
        GameBlock shortBlock(games::projectCars2.name, 100);
        ASSERT_TRUE(shortBlock.created());
        ASSERT_EQ(source->detect(), 1);
        ASSERT_EQ(source->activeGame(), GameId::projectCars2);
        const std::string printed = printedBy([&] { EXPECT_EQ(source->connect(), 0); });
        EXPECT_EQ(printed, "Failed to map buffer\n");
        EXPECT_TRUE(source->projectCars2.failed);
    }

    // The game publishes its full block: the next attempt connects, without a disconnection.
    GameBlock block(games::projectCars2.name, games::projectCars2.size);
    ASSERT_TRUE(block.created());
    ASSERT_EQ(source->detect(), 1);
    const std::string printed = printedBy([&] { EXPECT_EQ(source->connect(), 1); });
    EXPECT_EQ(printed, "Memory mapped successfully\n");
    EXPECT_EQ(source->connect(), 0);
    EXPECT_EQ(source->disconnect(), 1);
    EXPECT_FALSE(source->projectCars2.opened);
    EXPECT_FALSE(source->projectCars2.mapped);
}

TEST_F(GameDetection, RFactor2WaitsForThePluginAndReleasesItsBlock) {
    GameProcess rFactor2("rFactor2.exe");
    ASSERT_TRUE(rFactor2.visible());
    GameBlock block(games::rFactor2.name, games::rFactor2.size);
    ASSERT_TRUE(block.created());
    block.setWord(0, games::rFactor2NotReady);

    ASSERT_EQ(source->detect(), 1);
    ASSERT_EQ(source->activeGame(), GameId::rFactor2);
    EXPECT_EQ(source->connect(), 0);
    EXPECT_FALSE(source->rFactor2.opened);

    block.setWord(0, 7);
    const std::string printed = printedBy([&] { EXPECT_EQ(source->connect(), 1); });
    EXPECT_EQ(printed, "Memory mapped successfully\n");
    EXPECT_TRUE(source->rFactor2.opened);
    EXPECT_TRUE(source->rFactor2.mapped);

    EXPECT_EQ(source->disconnect(), 1);
    EXPECT_FALSE(source->rFactor2.opened);
    // Nothing of ours keeps the plugin's block alive once the plugin drops it.
    block.close();
    platform::SharedMemory probe;
    EXPECT_FALSE(probe.openExisting(games::rFactor2.name, platform::MapAccess::read));
}

TEST_F(GameDetection, AssettoCorsaCountsOnlyWhileItsSessionIsLive) {
    GameBlock physics(games::assettoCorsaPhysics.name, games::assettoCorsaPhysics.size);
    GameBlock graphics(games::assettoCorsaGraphics.name, games::assettoCorsaGraphics.size);
    ASSERT_TRUE(physics.created() && graphics.created());
    for (const std::uint32_t notLive : {1u, 3u}) {
        graphics.setWord(games::assettoCorsaStatusOffset, notLive);
        EXPECT_EQ(source->detect(), 0) << "status " << notLive;
    }
    graphics.setWord(games::assettoCorsaStatusOffset, 2);
    ASSERT_EQ(source->detect(), 1);
    EXPECT_EQ(source->activeGame(), GameId::assettoCorsa);
    EXPECT_EQ(source->connect(), 1);
    EXPECT_NE(source->assettoCorsa.physics.view(), nullptr);
    EXPECT_NE(source->assettoCorsa.graphics.view(), nullptr);
    EXPECT_EQ(source->disconnect(), 1);
    EXPECT_FALSE(source->assettoCorsa.physics.isOpen());

    // A session that ends between detection and connection is not connected.
    ASSERT_EQ(source->detect(), 1);
    graphics.setWord(games::assettoCorsaStatusOffset, 3);
    EXPECT_EQ(source->connect(), 0);
    EXPECT_FALSE(source->assettoCorsa.graphics.isOpen());
}

TEST_F(GameDetection, NoLimits2IsFoundByItsServerAndReadUntilTheServerGoes) {
    auto game = std::make_unique<emulator::TelemetryEmulator>(emulator::noLimits2Encoder);
    ASSERT_TRUE(game->ready());
    ASSERT_TRUE(game->sendFrame(9.0));

    ASSERT_EQ(source->detect(), 1);
    EXPECT_EQ(source->activeGame(), GameId::noLimits2);
    ASSERT_EQ(source->connect(), 1);
    EXPECT_TRUE(source->noLimits2.connected);
    bool delivered = false;
    for (int attempt = 0; attempt < 500 && !delivered; ++attempt) {
        delivered = source->readFrame();
        if (!delivered) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(delivered);
    const auto motion = game->script().at(9.0);
    const auto& channels = source->gameData.channels;
    EXPECT_NEAR(channels[longitudinalAccel], motion.longitudinalAccel, 1e-4);
    EXPECT_NEAR(channels[pitchPosition], motion.pitch * 180.0 / 3.14159265358979, 1e-3);
    EXPECT_GT(source->gameData.frameTimeMs, 0.0);
    // The same frame again is nothing new.
    for (int attempt = 0; attempt < 20; ++attempt) {
        EXPECT_FALSE(source->readFrame());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    game.reset();
    EXPECT_FALSE(source->readFrame());
    EXPECT_EQ(source->disconnect(), 1);
    EXPECT_FALSE(source->noLimits2.connected);
    EXPECT_EQ(source->noLimits2.socket, platform::invalidSocket);
    EXPECT_EQ(source->detect(), 0);
}

TEST_F(GameDetection, FlightSimulatorNeedsBothItsClientAndItsProcess) {
    simulator.answers = true;
    // A simulator answers, but neither executable runs: both clients are closed again.
    EXPECT_EQ(source->detect(), 0);
    EXPECT_EQ(simulator.opened, 2);
    EXPECT_EQ(simulator.clientsOpen(), 0);

    GameProcess flightSimulator("FlightSimulator.exe");
    ASSERT_TRUE(flightSimulator.visible());
    ASSERT_EQ(source->detect(), 1);
    ASSERT_EQ(source->activeGame(), GameId::flightSimulator2020);
    EXPECT_EQ(simulator.clientsOpen(), 1);

    simulator.calls.clear();
    EXPECT_EQ(source->connect(), 1);
    ASSERT_EQ(simulator.calls.size(), 23u);
    EXPECT_EQ(simulator.calls[0], "define 0 ACCELERATION BODY X | meter per second squared | 4 0.000000 4294967295");
    EXPECT_EQ(simulator.calls[14], "define 0 PLANE PITCH DEGREES | radians | 4 0.000000 4294967295");
    EXPECT_EQ(simulator.calls[16], "define 0 SIM ON GROUND | Bool | 2 0.000000 4294967295");
    EXPECT_EQ(simulator.calls[17], "request 0 0 0 3 0 0 0 0");
    EXPECT_EQ(std::vector<std::string>(simulator.calls.begin() + 18, simulator.calls.end()),
              (std::vector<std::string>{"subscribe 6 Crashed", "subscribe 7 Quit", "subscribe 4 SimStart",
                                        "subscribe 5 SimStop", "subscribe 3 Sim"}));
    EXPECT_EQ(source->disconnect(), 1);
    EXPECT_EQ(simulator.clientsOpen(), 0);
    EXPECT_EQ(source->flightSimulator2020.client, nullptr);
}

TEST_F(GameDetection, FlightSimulatorSetUpFailsOnTheSimSubscriptionAlone) {
    simulator.answers = true;
    simulator.subscriptionResults["Sim"] = -1;
    GameProcess flightSimulator("FlightSimulator2024.exe");
    ASSERT_TRUE(flightSimulator.visible());

    ASSERT_EQ(source->detect(), 1);
    ASSERT_EQ(source->activeGame(), GameId::flightSimulator2024);
    EXPECT_EQ(source->connect(), 0);
    EXPECT_EQ(source->flightSimulator2024.client, nullptr);
    EXPECT_EQ(simulator.clientsOpen(), 0);

    // Only the last subscription decides: the others may fail.
    simulator.subscriptionResults = {{"Crashed", -1}, {"Quit", -1}};
    ASSERT_EQ(source->detect(), 1);
    EXPECT_EQ(source->connect(), 1);
    EXPECT_EQ(source->disconnect(), 1);
}

TEST_F(GameDetection, ProcessNamesMatchExactlyAndUdpGamesNeedTheirDatagrams) {
    test::DatagramStream xPlaneData(games::xPlanePort);
    {
        GameProcess wrongCase("x-plane.exe");
        ASSERT_TRUE(wrongCase.visible());
        EXPECT_EQ(source->detect(), 0);
    }
    GameProcess xPlane("X-Plane.exe");
    ASSERT_TRUE(xPlane.visible());
    ASSERT_EQ(source->detect(), 1);
    EXPECT_EQ(source->activeGame(), GameId::xPlane);
    EXPECT_EQ(source->connect(), 1);
    EXPECT_EQ(source->disconnect(), 1);
}

TEST_F(GameDetection, DcsIsFoundUnderEitherNameOnlyWhileItSendsDatagrams) {
    {
        GameProcess dcs("DCS.exe");
        ASSERT_TRUE(dcs.visible());
        EXPECT_EQ(source->detect(), 0);
    }
    GameProcess dcs64("DCS64.exe");
    ASSERT_TRUE(dcs64.visible());
    test::DatagramStream dcsData(games::dcsPort);
    ASSERT_EQ(source->detect(), 1);
    EXPECT_EQ(source->activeGame(), GameId::dcs);
}

TEST_F(GameDetection, EuroTruckSimulator2IsFoundByItsProcessBehindItsBlock) {
    GameProcess truck("eurotrucks2.exe");
    ASSERT_TRUE(truck.visible());
    GameBlock block(games::euroTruckSimulator2.name, games::euroTruckSimulator2.size);
    ASSERT_TRUE(block.created());
    ASSERT_EQ(source->detect(), 1);
    EXPECT_EQ(source->activeGame(), GameId::euroTruckSimulator2);
    EXPECT_EQ(source->connect(), 1);
    EXPECT_NE(source->euroTruckSimulator2.block.view(), nullptr);
    EXPECT_EQ(source->disconnect(), 1);
    EXPECT_FALSE(source->euroTruckSimulator2.block.isOpen());
}

}  // namespace
}  // namespace tarvelin
