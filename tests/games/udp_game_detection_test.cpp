// The UDP games found, connected, read and let go by the engine's own rules, each played by the
// telemetry emulator on the game's own port, under the game's executable name where detection
// asks for one.

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "condor2_encoder.h"
#include "dcs_encoder.h"
#include "dirt_rally2_encoder.h"
#include "f1_encoder.h"
#include "games/game_source.h"
#include "live_for_speed_encoder.h"
#include "scripted_simulator.h"
#include "telemetry_emulator.h"
#include "wrc23_encoder.h"
#include "xplane_encoder.h"

namespace tarvelin {
namespace {

using emulator::GameProcess;

struct Row {
    const emulator::GameEncoder* encoder;
    GameId game;
    const char* executableName;  // run instead of the encoder's own, or null
};

class UdpGameDetection : public testing::TestWithParam<Row> {
protected:
    test::ScriptedSimulator simulator;
    std::unique_ptr<GameSource> source = std::make_unique<GameSource>(simulator);

    // The engine scans again and again while no game is found; a game that sends no faster than
    // the probe waits (20 ms) can slip past one scan.
    bool detectWithin(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        do {
            if (source->detect() == 1) return true;
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    bool readWithin(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        do {
            if (source->readFrame()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }
};

TEST_P(UdpGameDetection, IsFoundConnectedReadAndLetGo) {
    const Row& row = GetParam();
    std::unique_ptr<GameProcess> process;
    if (row.executableName != nullptr) {
        process = std::make_unique<GameProcess>(row.executableName);
        ASSERT_TRUE(process->visible());
    }
    emulator::TelemetryEmulator game(*row.encoder, emulator::EmulatorOptions{.gameProcess = row.executableName == nullptr});
    ASSERT_TRUE(game.ready());
    game.start();

    ASSERT_TRUE(detectWithin(std::chrono::seconds(5)));
    EXPECT_EQ(source->activeGame(), row.game);
    ASSERT_EQ(source->connect(), 1);
    EXPECT_TRUE(readWithin(std::chrono::seconds(2)));
    EXPECT_NE(source->gameData.channels[verticalGravi], 0.0) << "no frame completed with gravity";
    EXPECT_EQ(source->disconnect(), 1);

    game.stop();
    UdpEndpoint again;
    EXPECT_EQ(again.open(row.encoder->port), 1) << "the game's port stayed bound";
    again.close();
}

INSTANTIATE_TEST_SUITE_P(
    EveryUdpGame, UdpGameDetection,
    testing::Values(Row{&emulator::xPlaneEncoder, GameId::xPlane, nullptr},
                    Row{&emulator::dcsEncoder, GameId::dcs, nullptr},
                    Row{&emulator::dirtRally2Encoder, GameId::dirtRally2, nullptr},
                    Row{&emulator::condor2Encoder, GameId::condor2, nullptr},
                    Row{&emulator::f1_23Encoder, GameId::f1, "F1_23_64.exe"},
                    Row{&emulator::f1_24Encoder, GameId::f1, nullptr},
                    Row{&emulator::f1_24Encoder, GameId::f1, "F1_24_64.exe"},
                    Row{&emulator::wrc23Encoder, GameId::wrc23, nullptr},
                    Row{&emulator::liveForSpeedEncoder, GameId::liveForSpeed, nullptr},
                    Row{&emulator::liveForSpeedEncoder, GameId::liveForSpeed, "LFS64.exe"}),
    [](const testing::TestParamInfo<Row>& row) {
        std::string name = std::string(row.param.encoder->name) + "_as_" +
                           (row.param.executableName ? row.param.executableName : "itself");
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

TEST(UdpGameDetectionWithoutProcess, GamesThatNeedTheirProcessAreNotFoundByTheirDatagramsAlone) {
    test::ScriptedSimulator simulator;
    GameSource source(simulator);
    for (const auto* encoder : {&emulator::f1_24Encoder, &emulator::liveForSpeedEncoder, &emulator::xPlaneEncoder}) {
        emulator::TelemetryEmulator game(*encoder, emulator::EmulatorOptions{.gameProcess = false});
        ASSERT_TRUE(game.ready());
        game.start();
        EXPECT_EQ(source.detect(), 0) << encoder->title;
    }
}

}  // namespace
}  // namespace tarvelin
