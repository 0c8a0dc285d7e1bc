// Every emulated game through the whole engine to an emulated rig: the telemetry emulator plays
// the game through its own channel (with its process where detection looks for one), the engine
// finds it by its own rules, reads it, and the real bridge writes the motion frames to a rig
// controller emulator. The telemetry the engine recorded must be the drive the emulator played,
// frame by frame, within the game's precision; the rig must receive moving, well-checked frames.

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "e2e/game_cases.h"
#include "engine/motion_engine.h"
#include "serial/support/link_fixture.h"
#include "tarvelin/motion.h"
#include "telemetry_emulator.h"

namespace tarvelin::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* rigBoard = "com5";
// Where the drive is replayed from: the end of the braking into the corner, where every motion
// channel moves.
constexpr double replayFrom = 12.4;

std::string gameName() {
    char name[21] = {};
    getGameName(name);
    return name;
}

std::vector<AccelerationSnapshot> takeTelemetry() {
    int count = 0;
    AccelerationSnapshot* records = GetAccelerationSnapshots(&count);
    std::vector<AccelerationSnapshot> taken(records, records + count);
    FreeAccelerationSnapshots(records);
    return taken;
}

class GameToRig : public LinkFixture, public ::testing::WithParamInterface<GameCase> {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        bench().attach(5);
        startBridge();
        connectOnStandardPort(5);
        // Small gains keep every axis inside the rig's limits, so each frame tells its cues. Both
        // profiles move the rig: games that know they are on the ground select GROUND.
        for (int slot = 0; slot < 6; ++slot) {
            for (const int profile : {0, 1}) ASSERT_EQ(setcheckFilterstring(profile, slot, "GAIN(VALUE;0.01)"), 1);
            SetRigDofLimitValue(slot, -1.0, 1.0);
        }
        for (int slot = 0; slot < 8; ++slot) SetInputDofLimitValue(slot, -1000.0, 1000.0);
    }

    void TearDown() override {
        stopGamesource_Thread();
        if (game) game->stop();
        game.reset();
        setMotionsystemready(0);
        LinkFixture::TearDown();
    }

    // Whether the channels are those of one frame the emulator sent, searched from frame
    // `cursor` on; the cursor then moves to that frame. Blocks without a frame counter are read
    // while the game rewrites them: the readers copy them twice and take agreeing copies, but a
    // writer stopped halfway through its frame for both copies (a loaded machine, a sanitizer's
    // slow code) still leaves each channel from one of two consecutive frames.
    bool fromScript(const AccelerationSnapshot& record, std::uint64_t& cursor) const {
        const GameCase& row = GetParam();
        const std::uint64_t sent = game->framesSent() + 1;
        auto matches = [&](const ExpectedChannels& expected, std::size_t i) {
            const double tolerance = row.absoluteTolerance + row.relativeTolerance * std::abs(*expected[i]);
            return std::abs(record.channels[i] - *expected[i]) <= tolerance;
        };
        for (std::uint64_t frame = cursor; frame <= sent; ++frame) {
            const ExpectedChannels expected = row.expected(game->script().at(game->frameTime(frame)));
            const ExpectedChannels next = row.expected(game->script().at(game->frameTime(frame + 1)));
            bool same = true;
            for (std::size_t i = 1; i < expected.size() && same; ++i) {
                if (!expected[i]) continue;
                same = matches(expected, i) || (row.tornFramesPossible && matches(next, i));
            }
            if (same) {
                cursor = frame;
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<emulator::TelemetryEmulator> game;
};

TEST_P(GameToRig, TheDriveReachesTheEngineAndTheRig) {
    const GameCase& row = GetParam();
    game = std::make_unique<emulator::TelemetryEmulator>(*row.encoder);
    ASSERT_TRUE(game->ready()) << row.encoder->title << " could not be played";
    game->seek(replayFrom);
    game->start();
    setMotionsystemready(1);
    startGamesource_Thread();
    ASSERT_TRUE(waitFor([] { return MotionEngine::instance().connected.load(); }, 30s)) << row.gameName << " was not found";
    EXPECT_EQ(getGameID(), row.gameId);
    EXPECT_EQ(gameName(), row.gameName);

    // A second of telemetry records: past the first frames, every one is a frame of the drive,
    // in the order they were played.
    std::this_thread::sleep_for(200ms);
    takeTelemetry();
    boards().clear(rigBoard);
    std::vector<AccelerationSnapshot> records;
    const auto end = std::chrono::steady_clock::now() + 1s;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(40ms);
        const auto taken = takeTelemetry();
        records.insert(records.end(), taken.begin(), taken.end());
    }
    // The engine keeps 500 records a second; a loaded machine (and Wine) may run fewer cycles,
    // which is no fault of the game's road.
    ASSERT_GT(records.size(), 100u);
    std::uint64_t cursor = 0;
    std::size_t first = 0;
    while (first < records.size() && !fromScript(records[first], cursor)) ++first;
    ASSERT_LT(first, records.size()) << "no record carries a frame of the drive (lateral_accel_g "
                                     << records.front().channels[3] << ")";
    for (std::size_t i = first; i < records.size(); ++i) {
        ASSERT_TRUE(fromScript(records[i], cursor)) << "record " << i << " is no frame of the drive after frame "
                                                   << cursor << " (lateral_accel_g " << records[i].channels[3] << ")";
    }
    EXPECT_GT(cursor, 10u) << "the records should follow the drive frame by frame";

    // The rig: motion frames that move, every check field right.
    std::vector<Bytes> frames = boards().frames(rigBoard);
    std::erase_if(frames, [](const Bytes& frame) { return frame[0] != 0xFC; });
    EXPECT_GT(frames.size(), 50u);
    std::size_t moves = 0;
    for (std::size_t i = 1; i < frames.size(); ++i) moves += frames[i] != frames[i - 1] ? 1 : 0;
    EXPECT_GT(moves, 10u) << "the rig's frames hardly moved";
    const BoardCounts counts = boards().counts(rigBoard);
    EXPECT_EQ(counts.badFrames, 0u);
    EXPECT_EQ(counts.strayBytes, 0u);
}

std::string caseName(const ::testing::TestParamInfo<GameCase>& info) {
    std::string name = info.param.encoder->name;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryGame, GameToRig, ::testing::ValuesIn(gameCases()), caseName);

}  // namespace
}  // namespace tarvelin::test
