// iRacing against real blocks, the simulator's event and a process under its executable name:
// detection and connection, the frames the reader takes and the ones it must pass over, a
// simulator that overwrites a buffer during the copy, and a real recording replayed row by row.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "block_feed.h"
#include "games/game_source.h"
#include "games/iracing_reader.h"
#include "iracing_encoder.h"
#include "platform/dynamic_library.h"
#include "platform/named_event.h"
#include "scripted_simulator.h"
#include "telemetry_emulator.h"

namespace tarvelin {
namespace {

using emulator::IRacingBlockWriter;
using emulator::IRacingLayout;
using emulator::IRacingType;

constexpr double degreesPerRadian = 180.0 / 3.14159265358979;

// How each variable the simulator publishes reaches its channel: the simulator's axes point
// forward, left and up, and its rotations follow the right hand about them.
struct Conversion {
    const char* variable;
    Channel channel;
    double factor;
};
constexpr Conversion conversions[] = {
    {"LatAccel", lateralAccelG, -1.0},   {"LongAccel", longitudinalAccelG, 1.0},
    {"VertAccel", verticalAccelG, 1.0},  {"YawRate", yawSpeed, -1.0},
    {"RollRate", rollSpeed, -1.0},       {"PitchRate", pitchSpeed, -1.0},
    {"Yaw", yawPosition, -degreesPerRadian}, {"Roll", rollPosition, -degreesPerRadian},
    {"Pitch", pitchPosition, -degreesPerRadian},
};

// The nine variables and a few others around them, as the simulator lists them.
IRacingLayout testLayout() {
    IRacingLayout layout;
    layout.add("SessionTime", IRacingType::dual, "", "s");
    for (const Conversion& conversion : conversions) {
        layout.add(conversion.variable, IRacingType::single, "", "");
        layout.add(std::string(conversion.variable) + "_ST", IRacingType::single, "", "");
    }
    return layout;
}

// A buffer in which every one of the nine variables holds `value`.
std::vector<std::uint8_t> rowOf(const IRacingLayout& layout, double value) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(layout.bufferLength));
    for (const Conversion& conversion : conversions) emulator::putValue(row, layout, conversion.variable, value);
    return row;
}

double channelFor(const Conversion& conversion, double value) {
    return conversion.factor * static_cast<double>(static_cast<float>(value));
}

// A new session: the block laid out afresh, every tick back at 0.
void layOut(IRacingBlockWriter& writer, const IRacingLayout& layout) {
    ASSERT_TRUE(writer.setLayout(layout));
    writer.setConnected(true);
}

constexpr std::size_t blockSize = 128 * 1024;
constexpr double frameA = 0.125;
constexpr double frameB = 0.375;

class IRacingGame : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(process.visible());
        ASSERT_TRUE(block.ready());
        ASSERT_TRUE(dataValid.create(IRacingReader::eventName));
    }

    // A connected reader that has taken frame A from buffer 0, tick 10; the other buffers hold
    // tick 0.
    void connectAndTakeFrameA() {
        source = std::make_unique<GameSource>(simulator);
        layOut(writer, layout);
        source->activeFlags[indexOf(GameId::iRacing)].store(true);
        ASSERT_EQ(source->connect(), 1);
        writer.writeBuffer(0, rowOf(layout, frameA), 9);
        ASSERT_TRUE(source->readFrame());  // the first tick seen is only remembered
        writer.writeBuffer(0, rowOf(layout, frameA), 10);
        ASSERT_TRUE(source->readFrame());
        ASSERT_EQ(source->iRacing.decoder.lastTickCount(), 10);
    }

    const GameData& record() const { return source->gameData; }

    emulator::GameProcess process{"iRacingSim64DX11.exe"};
    emulator::SharedBlock block{IRacingReader::blockName, blockSize};
    IRacingBlockWriter writer{block.bytes()};
    platform::NamedEvent dataValid;
    IRacingLayout layout = testLayout();
    test::ScriptedSimulator simulator;
    std::unique_ptr<GameSource> source;
};

TEST_F(IRacingGame, IsFoundByProcessAndBlockConnectedOnceItsEventExistsAndReleased) {
    dataValid.close();
    source = std::make_unique<GameSource>(simulator);
    ASSERT_EQ(source->detect(), 1);
    ASSERT_EQ(source->activeGame(), GameId::iRacing);
    EXPECT_EQ(source->connect(), 0) << "connected without the simulator's event";
    EXPECT_FALSE(source->iRacing.opened);

    ASSERT_TRUE(dataValid.create(IRacingReader::eventName));
    ASSERT_EQ(source->connect(), 1);
    EXPECT_TRUE(source->iRacing.initialised);
    EXPECT_EQ(source->iRacing.view().size() >= blockSize, true) << "the view covers the whole block";
    EXPECT_EQ(source->activeProfileSelector(), 0);

    EXPECT_EQ(source->disconnect(), 1);
    EXPECT_FALSE(source->iRacing.opened);
    EXPECT_FALSE(source->iRacing.block.isOpen());
    EXPECT_FALSE(source->readFrame());
}

// What one read must make of a change to the block after frame A was taken.
struct Scenario {
    const char* what;
    std::function<void(IRacingBlockWriter&, IRacingLayout&, GameSource&)> arrange;
    bool delivered;
    bool takesFrameB;
    std::vector<Channel> keepFrameA;  // of a frame B that is taken, the channels that keep A
    std::int32_t lastTick;
};

std::vector<std::uint8_t> rowB(const IRacingLayout& layout) { return rowOf(layout, frameB); }

// A new table in another place of the block, listing the variables in another order among more.
IRacingLayout movedLayout() {
    IRacingLayout layout;
    for (int i = 0; i < 40; ++i) layout.add("Other" + std::to_string(i), IRacingType::integer, "", "");
    for (auto it = std::rbegin(conversions); it != std::rend(conversions); ++it) {
        layout.add(it->variable, IRacingType::single, "", "");
    }
    layout.tableOffset = 8192;
    return layout;
}

const Scenario scenarios[] = {
    {"a new tick", [](auto& w, auto& l, auto&) { w.writeBuffer(2, rowB(l), 11); }, true, true, {}, 11},
    {"the same tick, rewritten", [](auto& w, auto& l, auto&) { w.writeBuffer(0, rowB(l), 10); }, true, false, {}, 10},
    {"two buffers with the newest tick: the first wins",
     [](auto& w, auto& l, auto&) {
         w.writeBuffer(2, rowOf(l, frameA), 12);
         w.writeBuffer(1, rowB(l), 12);
     },
     true, true, {}, 12},
    {"a counter restart is only remembered",
     [](auto& w, auto& l, auto&) {
         layOut(w, l);
         w.writeBuffer(2, rowB(l), 3);
     },
     true, false, {}, 3},
    {"after a restart the next tick is taken",
     [](auto& w, auto& l, auto& s) {
         layOut(w, l);
         w.writeBuffer(2, rowOf(l, frameA), 3);
         s.readFrame();
         w.writeBuffer(0, rowB(l), 4);
     },
     true, true, {}, 4},
    {"the status bit clear",
     [](auto& w, auto& l, auto&) {
         w.writeBuffer(2, rowB(l), 11);
         w.setConnected(false);
     },
     false, false, {}, IRacingDecoder::noTick},
    {"a header that changes under the reader",
     [](auto& w, auto& l, auto&) {
         l = movedLayout();
         layOut(w, l);
         w.writeBuffer(1, rowB(l), 11);
     },
     true, true, {}, 11},
    {"a variable missing from the table",
     [](auto& w, auto& l, auto&) {
         std::erase_if(l.variables, [](const auto& v) { return v.name == "Roll"; });
         layOut(w, l);
         w.writeBuffer(0, rowB(l), 11);
     },
     true, true, {rollPosition}, 11},
    {"a value beyond the buffer's end",
     [](auto& w, auto& l, auto&) {
         for (auto& v : l.variables) {
             if (v.name == "Yaw") v.offset = l.bufferLength - 2;
         }
         layOut(w, l);
         w.writeBuffer(0, rowB(l), 11);
     },
     true, true, {yawPosition}, 11},
    {"a buffer longer than the line buffer",
     [](auto& w, auto& l, auto&) {
         l.bufferLength = 20000;
         for (auto& v : l.variables) {
             if (v.name == "Pitch") v.offset = 12000;
             if (v.name == "LongAccel") v.offset = 9996;
         }
         layOut(w, l);
         w.writeBuffer(2, rowB(l), 11);
     },
     true, true, {pitchPosition}, 11},
    {"a value that is not a number",
     [](auto& w, auto& l, auto&) {
         auto row = rowB(l);
         emulator::putValue(row, l, "Roll", std::numeric_limits<double>::quiet_NaN());
         w.writeBuffer(2, row, 11);
     },
     true, false, {}, 11},
};

TEST_F(IRacingGame, EachChangeOfTheBlockIsReadAsTheSimulatorMeantIt) {
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.what);
        layout = testLayout();
        connectAndTakeFrameA();
        scenario.arrange(writer, layout, *source);
        EXPECT_EQ(source->readFrame(), scenario.delivered);
        EXPECT_EQ(source->iRacing.decoder.lastTickCount(), scenario.lastTick);
        for (const Conversion& conversion : conversions) {
            const bool kept = !scenario.takesFrameB || std::ranges::count(scenario.keepFrameA, conversion.channel) > 0;
            EXPECT_NEAR(record().channels[conversion.channel], channelFor(conversion, kept ? frameA : frameB), 1e-9)
                << conversion.variable;
        }
        // Whatever was taken, the felt and the pure accelerations differ by gravity.
        const auto& c = record().channels;
        EXPECT_DOUBLE_EQ(c[lateralAccel], c[lateralAccelG] - c[lateralGravi]);
        EXPECT_DOUBLE_EQ(c[verticalAccel], c[verticalAccelG] - c[verticalGravi]);
        EXPECT_EQ(c[lateralSpeed], 0.0) << "the reader takes no speeds";
        source->disconnect();
    }
}

// The simulator rewrites the one buffer all the time while the reader copies it: a copy whose
// tick changed on the way is dropped, the tick taken last stays, and the record is untouched.
TEST_F(IRacingGame, ABufferOverwrittenDuringTheCopyIsNotUsed) {
    layout.bufferCount = 1;
    layout.bufferLength = static_cast<std::int32_t>(iRacingLineBufferSize);
    connectAndTakeFrameA();
    // The simulator's side, through a view of its own.
    emulator::SharedBlock simulatorView(IRacingReader::blockName, blockSize);
    IRacingBlockWriter simulatorWriter(simulatorView.bytes());
    layOut(simulatorWriter, layout);
    std::atomic<bool> writing{true};
    std::thread game([&] {
        auto row = rowOf(layout, frameB);
        for (std::int32_t tick = 11; writing.load(std::memory_order_relaxed); ++tick) {
            simulatorWriter.writeBuffer(0, row, tick);
        }
    });

    int overwritten = 0;
    int taken = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((overwritten < 5 || taken < 5) && std::chrono::steady_clock::now() < deadline) {
        const std::int32_t before = source->iRacing.decoder.lastTickCount();
        GameData copy = record();
        const IRacingRead result = source->iRacing.decoder.read(source->iRacing.view(), copy);
        if (result == IRacingRead::overwritten) {
            ++overwritten;
            EXPECT_EQ(source->iRacing.decoder.lastTickCount(), before);
            EXPECT_EQ(copy.channels, record().channels);
        } else if (result == IRacingRead::frame) {
            ++taken;
            EXPECT_GT(source->iRacing.decoder.lastTickCount(), before);
        }
    }
    writing.store(false);
    game.join();
    EXPECT_GE(overwritten, 5) << "the simulator never overwrote a buffer during a copy";
    EXPECT_GE(taken, 5);
}

// The recording's own values, read straight from the file.
class Recording {
public:
    explicit Recording(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool loaded() const { return bytes_.size() > 144; }
    std::int32_t word(std::size_t offset) const {
        std::int32_t value;
        std::memcpy(&value, bytes_.data() + offset, 4);
        return value;
    }
    std::size_t rows() const { return static_cast<std::size_t>(word(140)); }
    // The value of `name` in row `row`.
    float value(const char* name, std::size_t row) const {
        for (std::int32_t i = 0; i < word(24); ++i) {
            const std::size_t entry = static_cast<std::size_t>(word(28)) + static_cast<std::size_t>(i) * 144;
            if (std::strncmp(name, reinterpret_cast<const char*>(bytes_.data() + entry + 16), 32) != 0) continue;
            float value;
            std::memcpy(&value, bytes_.data() + word(52) + row * static_cast<std::size_t>(word(36)) + word(entry + 4), 4);
            return value;
        }
        ADD_FAILURE() << name << " is not in the recording";
        return 0.0f;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

TEST(IRacingReplay, EveryRowOfARealRecordingReachesTheChannels) {
    const Recording recording(platform::executableFolder() / "iracing_amg.ibt");
    ASSERT_TRUE(recording.loaded());
    ASSERT_EQ(recording.rows(), 3371u);
    emulator::TelemetryEmulator game(emulator::iRacingReplayEncoder);
    ASSERT_TRUE(game.ready()) << game.destination();
    test::ScriptedSimulator simulator;
    GameSource source(simulator);
    source.activeFlags[indexOf(GameId::iRacing)].store(true);
    ASSERT_EQ(source.connect(), 1);
    // The simulator has started its session but not yet written an update: the reader notes
    // where the ticks stand.
    game.setStatus(emulator::GameStatus::paused);
    ASSERT_TRUE(game.sendFrame(0.0));
    ASSERT_TRUE(source.readFrame());
    game.setStatus(emulator::GameStatus::live);

    int mismatches = 0;
    for (std::size_t row = 0; row < recording.rows(); ++row) {
        ASSERT_TRUE(game.sendFrame(0.0));
        ASSERT_TRUE(source.readFrame());
        for (const Conversion& conversion : conversions) {
            const double expected = conversion.factor * static_cast<double>(recording.value(conversion.variable, row));
            const double got = source.gameData.channels[conversion.channel];
            if (std::abs(got - expected) > 1e-9 * std::max(1.0, std::abs(expected)) && ++mismatches <= 5) {
                ADD_FAILURE() << "row " << row << ' ' << conversion.variable << ": " << got << " instead of " << expected;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace tarvelin
