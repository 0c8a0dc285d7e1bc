// The shared-memory games: their decoders against the conversions of each game's fields, and each
// game played by the telemetry emulator through real blocks and processes under the game's name,
// found, connected, read in every state the game reports, and let go.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "assetto_corsa_encoder.h"
#include "assetto_corsa_evo_encoder.h"
#include "drive_script.h"
#include "e2e/game_cases.h"
#include "euro_truck_simulator2_encoder.h"
#include "games/game_channels.h"
#include "games/game_source.h"
#include "games/gravity_split.h"
#include "project_cars2_encoder.h"
#include "raceroom_encoder.h"
#include "rfactor2_encoder.h"
#include "scripted_simulator.h"
#include "telemetry_emulator.h"

namespace tarvelin {
namespace {

using emulator::GameStatus;
using Bytes = std::vector<std::uint8_t>;

constexpr double pi14 = 3.14159265358979;  // the π of most games' conversions
double degrees14(double radians) { return radians / pi14 * 180.0; }
double degrees(double radians) { return radians / std::numbers::pi * 180.0; }

void putFloat(Bytes& block, std::size_t offset, float value) { std::memcpy(block.data() + offset, &value, 4); }
void putDouble(Bytes& block, std::size_t offset, double value) { std::memcpy(block.data() + offset, &value, 8); }
void putWord(Bytes& block, std::size_t offset, std::int32_t value) { std::memcpy(block.data() + offset, &value, 4); }

// One field of a game's block: the raw value written at its offset (32- or 64-bit float) and what
// the channel must then read, as the game's conversion gives it.
struct Field {
    std::size_t offset;
    double raw;
    Channel channel;
    double expected;
};

// Applies `decode` to a block whose fields hold their raw values; a decoder that takes a marker
// gets a fresh one.
struct DecoderCase {
    const char* game;
    std::size_t size;
    bool doubles;
    void (*prepare)(Bytes& block);  // the words that make the frame live and new
    bool (*decode)(BlockBytes block, GameData& record);
    std::vector<Field> fields;
};

bool decodeAssettoCorsa(BlockBytes block, GameData& record) {
    std::int32_t last = 0;
    return applyAssettoCorsaPhysics(block, last, record);
}
bool decodeRFactor2(BlockBytes block, GameData& record) {
    double last = 0.0;
    return applyRFactor2Block(block, last, record);
}

// Exact in single precision, and told apart from each other.
const std::vector<DecoderCase>& decoderCases() {
    static const std::vector<DecoderCase> cases{
        {"Assetto Corsa", 712, false, [](Bytes& b) { putWord(b, 0, 7); }, decodeAssettoCorsa,
         {{44, 0.5, lateralAccel, 0.5 * 9.81}, {48, 0.25, verticalAccel, -0.25 * 9.81},
          {52, -0.75, longitudinalAccel, -0.75 * 9.81}, {568, 1.5, lateralSpeed, 1.5},
          {572, 2.5, verticalSpeed, 2.5}, {576, 30.25, longitudinalSpeed, 30.25},
          {296, 0.125, pitchSpeed, degrees14(0.125)}, {300, 0.375, yawSpeed, degrees14(0.375)},
          {304, -0.625, rollSpeed, degrees14(-0.625)}, {208, 1.25, yawPosition, -degrees14(1.25)},
          {212, 0.0625, pitchPosition, degrees14(0.0625)}, {216, 0.1875, rollPosition, -degrees14(0.1875)}}},
        // Version 2.x: state words at 16, 20, 24 and the player's fields at their first offsets.
        {"RaceRoom", 39320, true, [](Bytes& b) { putWord(b, 0, 2); }, applyRaceRoomBlock,
         {{96, 1.5, lateralSpeed, -1.5}, {104, 2.5, verticalSpeed, 2.5}, {112, 3.5, longitudinalSpeed, -3.5},
          {144, 4.5, lateralAccel, -4.5}, {152, 5.5, verticalAccel, 5.5}, {160, 6.5, longitudinalAccel, -6.5},
          {168, 0.125, pitchPosition, degrees14(0.125)}, {176, 0.25, yawPosition, -degrees14(0.25)},
          {184, 0.375, rollPosition, degrees14(0.375)}, {216, 0.5, pitchAccel, degrees14(0.5)},
          {224, 0.625, yawAccel, -degrees14(0.625)}, {232, 0.75, rollAccel, degrees14(0.75)},
          {240, 0.875, pitchSpeed, degrees14(0.875)}, {248, 1.125, yawSpeed, -degrees14(1.125)},
          {256, 1.25, rollSpeed, degrees14(1.25)}}},
        // y up: [0] lateral, [1] vertical, [2] longitudinal; rotations [0] pitch, [1] yaw, [2] roll.
        {"Project CARS 2", 20576, false, [](Bytes& b) { putWord(b, 8, 2); }, applyProjectCars2Block,
         {{6908, 0.125, pitchPosition, degrees14(0.125)}, {6912, 0.25, yawPosition, -degrees14(0.25)},
          {6916, 0.375, rollPosition, degrees14(0.375)}, {6920, 1.5, lateralSpeed, 1.5},
          {6924, 2.5, verticalSpeed, 2.5}, {6928, 3.5, longitudinalSpeed, 3.5},
          {6944, 0.5, pitchSpeed, degrees14(0.5)}, {6948, 0.625, yawSpeed, -degrees14(0.625)},
          {6952, 0.75, rollSpeed, degrees14(0.75)}, {6956, 4.5, lateralAccel, 4.5},
          {6960, 5.5, verticalAccel, 5.5}, {6964, 6.5, longitudinalAccel, 6.5}}},
        // The identity orientation: every angle 0.
        {"rFactor 2", 1888, true,
         [](Bytes& b) {
             putDouble(b, 12, 1.0);
             for (const std::size_t diagonal : {232, 264, 296}) putDouble(b, diagonal, 1.0);
         },
         decodeRFactor2,
         {{184, 1.5, lateralSpeed, -1.5}, {192, 2.5, verticalSpeed, 2.5}, {200, 3.5, longitudinalSpeed, -3.5},
          {208, 4.5, lateralAccel, -4.5}, {216, 5.5, verticalAccel, 5.5}, {224, 6.5, longitudinalAccel, -6.5},
          {304, 0.125, pitchSpeed, degrees(0.125)}, {312, 0.25, yawSpeed, -degrees(0.25)},
          {320, 0.375, rollSpeed, degrees(0.375)}, {328, 0.5, pitchAccel, degrees14(0.5)},
          {336, 0.625, yawAccel, -degrees14(0.625)}, {344, 0.75, rollAccel, degrees14(0.75)},
          {240, 0.0, yawPosition, 0.0}, {248, 0.0, rollPosition, 0.0}, {256, 0.0, pitchPosition, 0.0}}},
        // Angles in turns; heading, pitch and roll are held to their ranges.
        {"Euro Truck Simulator 2", 177, false, [](Bytes& b) { b[0] = 1; }, applyEuroTruckSimulator2Block,
         {{25, 1.25, yawPosition, 360.0}, {29, 0.3125, pitchPosition, 90.0}, {33, 0.625, rollPosition, -180.0},
          {41, 22.5, speed, 22.5}, {45, 1500.0, rpm, 1500.0}, {69, 1.5, lateralSpeed, 1.5},
          {73, 2.5, verticalSpeed, 2.5}, {77, 3.5, longitudinalSpeed, -3.5}, {81, 0.125, pitchSpeed, 45.0},
          {85, 0.25, yawSpeed, 90.0}, {89, 0.375, rollSpeed, -135.0}, {93, 4.5, lateralAccel, 4.5},
          {97, 5.5, verticalAccel, 5.5}, {101, 6.5, longitudinalAccel, -6.5}, {105, 0.5, pitchAccel, 180.0},
          {109, 0.625, yawAccel, 225.0}, {113, 0.75, rollAccel, -270.0}}},
    };
    return cases;
}

Bytes preparedBlock(const DecoderCase& row) {
    Bytes block(row.size);
    row.prepare(block);
    for (const Field& field : row.fields) {
        if (row.doubles) {
            putDouble(block, field.offset, field.raw);
        } else {
            putFloat(block, field.offset, static_cast<float>(field.raw));
        }
    }
    return block;
}

TEST(SharedMemoryDecoders, TakeEachFieldWithItsUnitAndSignAndCompleteNothingElse) {
    for (const DecoderCase& row : decoderCases()) {
        GameData record;
        record.channels[frontLeftSuspension] = 42.0;
        ASSERT_TRUE(row.decode(preparedBlock(row), record)) << row.game;
        for (const Field& field : row.fields) {
            EXPECT_DOUBLE_EQ(record.channels[field.channel], field.expected) << row.game << " offset " << field.offset;
        }
        EXPECT_EQ(record.channels[frontLeftSuspension], 42.0) << row.game;
        EXPECT_EQ(record.channels[lateralAccelG], 0.0) << row.game << ": gravity is the reader's";
    }
}

TEST(SharedMemoryDecoders, RefuseShortBlocksAndValuesThatAreNotNumbersWithoutTouchingTheRecord) {
    const GameData untouched;
    for (const DecoderCase& row : decoderCases()) {
        const Bytes block = preparedBlock(row);
        const std::size_t width = row.doubles ? 8 : 4;
        const auto farthest = std::max_element(row.fields.begin(), row.fields.end(),
                                               [](const Field& a, const Field& b) { return a.offset < b.offset; });
        GameData record;
        EXPECT_FALSE(row.decode(BlockBytes(block).first(farthest->offset + width - 1), record)) << row.game;
        for (const Field& field : row.fields) {
            Bytes spoiled = block;
            if (row.doubles) {
                putDouble(spoiled, field.offset, std::numeric_limits<double>::quiet_NaN());
            } else {
                putFloat(spoiled, field.offset, std::numeric_limits<float>::infinity());
            }
            EXPECT_FALSE(row.decode(spoiled, record)) << row.game << " offset " << field.offset;
        }
        EXPECT_EQ(std::memcmp(&record, &untouched, sizeof record), 0) << row.game;
    }
}

TEST(SharedMemoryDecoders, RFactor2TakesEveryNewClockValueAndHoldsRollToItsRange) {
    Bytes block(1888);
    double last = 0.0;
    GameData record;
    // A roll of exactly 90°: rounding carries the sine just past 1.
    const double m[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    for (std::size_t i = 0; i < 9; ++i) putDouble(block, 232 + 8 * i, m[i]);
    putDouble(block, 12, 5.0);
    ASSERT_TRUE(applyRFactor2Block(block, last, record));
    EXPECT_DOUBLE_EQ(record.channels[rollPosition], 90.0);
    EXPECT_FALSE(applyRFactor2Block(block, last, record)) << "the same clock value twice";
    // A session restarted: its clock starts again below the last value seen.
    putDouble(block, 12, 0.5);
    EXPECT_TRUE(applyRFactor2Block(block, last, record));
    EXPECT_EQ(last, 0.5);
}

// RaceRoom's layouts: the emulator writes each version's own offsets, the reader picks them from
// the version words.
TEST(SharedMemoryDecoders, RaceRoomReadsEveryLayoutByItsVersionWords) {
    const emulator::DriveScript script;
    const auto motion = script.at(15.0);
    const test::ExpectedChannels expected = test::motionChannels(motion);
    constexpr emulator::RaceRoomLayoutVersion laterMajor{4, 0, 20, 8};
    for (const auto& version : {emulator::raceRoom2_11, emulator::raceRoom3_3, emulator::raceRoom3_5, laterMajor}) {
        const std::string name = std::to_string(version.major) + "." + std::to_string(version.minor);
        Bytes block(39320);
        emulator::writeRaceRoomBlock(block, motion, GameStatus::live, version);
        GameData record;
        ASSERT_TRUE(applyRaceRoomBlock(block, record)) << name;
        applyGravitySplit(record, GravityForm::sum);
        for (std::size_t channel = 1; channel < expected.size(); ++channel) {
            if (expected[channel]) {
                EXPECT_NEAR(record.channels[channel], *expected[channel], 1e-9) << name << " channel " << channel;
            }
        }
        for (const GameStatus status : {GameStatus::paused, GameStatus::inMenus, GameStatus::inReplay}) {
            emulator::writeRaceRoomBlock(block, motion, status, version);
            EXPECT_FALSE(applyRaceRoomBlock(block, record)) << name << " status " << static_cast<int>(status);
        }
    }
}

// Each game as the emulator plays it, through GameSource.
struct GameRow {
    const emulator::GameEncoder* encoder;
    GameId game;
    bool repeatsFrames;  // no new-frame marker: every call while live delivers a frame
};

class SharedMemoryGame : public testing::TestWithParam<GameRow> {
protected:
    test::ScriptedSimulator simulator;
    GameSource source{simulator};

    const test::GameCase& expectations() const {
        for (const auto& row : test::gameCases()) {
            if (row.encoder == GetParam().encoder) return row;
        }
        throw std::logic_error("no end-to-end row for the game");
    }

    void expectFrameOf(const emulator::VehicleMotion& motion, const char* what) const {
        const test::GameCase& row = expectations();
        const test::ExpectedChannels expected = row.expected(motion);
        for (std::size_t i = 1; i < expected.size(); ++i) {
            if (!expected[i]) continue;
            const double tolerance = row.absoluteTolerance + row.relativeTolerance * std::abs(*expected[i]);
            EXPECT_NEAR(source.gameData.channels[i], *expected[i], tolerance) << what << ", channel " << i;
        }
    }
};

TEST_P(SharedMemoryGame, IsFoundReadWhileLiveOnlyAndLetGo) {
    const GameRow& row = GetParam();
    auto game = std::make_unique<emulator::TelemetryEmulator>(*row.encoder);
    ASSERT_TRUE(game->ready());
    ASSERT_TRUE(game->sendFrame(3.0));

    ASSERT_EQ(source.detect(), 1);
    ASSERT_EQ(source.activeGame(), row.game);
    ASSERT_EQ(source.connect(), 1);
    ASSERT_TRUE(source.readFrame());
    expectFrameOf(game->script().at(3.0), "first frame");
    EXPECT_EQ(source.readFrame(), row.repeatsFrames) << "the same frame read twice";
    EXPECT_EQ(source.activeProfileSelector(), 0);

    const GameData live = source.gameData;
    for (const GameStatus status :
         {GameStatus::paused, GameStatus::inMenus, GameStatus::inReplay, GameStatus::notConnected}) {
        game->setStatus(status);
        ASSERT_TRUE(game->sendFrame(3.5));
        EXPECT_FALSE(source.readFrame()) << "status " << static_cast<int>(status);
        EXPECT_EQ(source.gameData.channels, live.channels) << "status " << static_cast<int>(status);
    }
    game->setStatus(GameStatus::live);
    ASSERT_TRUE(game->sendFrame(4.0));
    ASSERT_TRUE(source.readFrame());
    expectFrameOf(game->script().at(4.0), "frame after the pauses");

    // The game quits: within a tenth of a second of cycles the reader stops delivering. Only the
    // plugin of Euro Truck Simulator 2 leaves its last frame behind.
    game.reset();
    bool delivering = true;
    for (std::uint32_t call = 0; call <= BlockNameWatch::callsBetweenLooks && delivering; ++call) {
        delivering = source.readFrame();
    }
    EXPECT_EQ(delivering, row.game == GameId::euroTruckSimulator2) << "after the game quit";
    EXPECT_EQ(source.disconnect(), 1);
    EXPECT_EQ(source.activeGame(), GameId::none);
    EXPECT_FALSE(source.readFrame());
    EXPECT_EQ(source.detect(), 0) << "the game is gone";

    // It starts again, its clock and counters from the beginning: its first frame is read.
    game = std::make_unique<emulator::TelemetryEmulator>(*row.encoder);
    ASSERT_TRUE(game->ready());
    ASSERT_TRUE(game->sendFrame(1.0));
    ASSERT_EQ(source.detect(), 1);
    ASSERT_EQ(source.connect(), 1);
    ASSERT_TRUE(source.readFrame());
    expectFrameOf(game->script().at(1.0), "first frame after a restart");
    EXPECT_EQ(source.disconnect(), 1);
}

std::string rowName(const testing::TestParamInfo<GameRow>& info) { return info.param.encoder->name; }

INSTANTIATE_TEST_SUITE_P(
    EveryGame, SharedMemoryGame,
    testing::Values(GameRow{&emulator::assettoCorsaEncoder, GameId::assettoCorsa, false},
                    GameRow{&emulator::assettoCorsaEvoEncoder, GameId::assettoCorsaEvo, false},
                    GameRow{&emulator::raceRoomEncoder, GameId::raceRoom, true},
                    GameRow{&emulator::projectCars2Encoder, GameId::projectCars2, true},
                    GameRow{&emulator::automobilista2Encoder, GameId::projectCars2, true},
                    GameRow{&emulator::rFactor2Encoder, GameId::rFactor2, false},
                    GameRow{&emulator::euroTruckSimulator2Encoder, GameId::euroTruckSimulator2, true}),
    rowName);

// Builds of Assetto Corsa EVO without a block of their own publish Assetto Corsa's physics block.
TEST(AssettoCorsaEvo, TakesItsOwnBlockWhereItExistsElseAssettoCorsas) {
    emulator::GameProcess evo("AssettoCorsaEVO.exe");
    ASSERT_TRUE(evo.visible());
    platform::SharedMemory physics;
    ASSERT_TRUE(physics.createOrOpen(games::assettoCorsaPhysics.name, games::assettoCorsaPhysics.size));
    auto* bytes = static_cast<std::uint8_t*>(physics.map(platform::MapAccess::readWrite, games::assettoCorsaPhysics.size));
    ASSERT_NE(bytes, nullptr);
    const emulator::DriveScript script;
    emulator::writeAssettoCorsaPhysics({bytes, games::assettoCorsaPhysics.size}, script.at(9.0), GameStatus::live);

    test::ScriptedSimulator simulator;
    GameSource source{simulator};
    ASSERT_EQ(source.detect(), 1);
    ASSERT_EQ(source.activeGame(), GameId::assettoCorsaEvo);
    ASSERT_EQ(source.connect(), 1);
    EXPECT_EQ(source.assettoCorsaEvo.block.viewSize(), games::assettoCorsaPhysics.size);
    ASSERT_TRUE(source.readFrame());
    EXPECT_NEAR(source.gameData.channels[longitudinalSpeed], script.at(9.0).longitudinalSpeed, 1e-5);
    source.disconnect();

    emulator::TelemetryEmulator own(emulator::assettoCorsaEvoEncoder, emulator::EmulatorOptions{0, false});
    ASSERT_TRUE(own.ready());
    ASSERT_EQ(source.detect(), 1);
    ASSERT_EQ(source.connect(), 1);
    EXPECT_EQ(source.assettoCorsaEvo.block.viewSize(), games::assettoCorsaEvoPhysics.size);
}

}  // namespace
}  // namespace tarvelin
