// The whole road of a frame with real parts: the telemetry emulator plays BeamNG on its port of
// the loopback interface, the engine finds the game and runs its cycle on filter strings, limits
// and belt weights installed through the exports, and the real bridge writes the motion frames
// to an emulated rig controller on a pseudo-terminal while the fan controller gets its bytes on
// another. What arrives is held against the model of motion_model.h, computed from the drive
// script: the snapshots cycle by cycle, the frames on the rig's line, the fan bytes, and the rig
// pose block read through a mapping of its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "beamng_encoder.h"
#include "e2e/motion_model.h"
#include "engine/motion_engine.h"
#include "platform/shared_memory.h"
#include "serial/support/link_fixture.h"
#include "tarvelin/motion.h"
#include "telemetry_emulator.h"

namespace tarvelin::test {
namespace {

using namespace std::chrono_literals;

// A rig set up as a host would: memoryless chains (so each cycle's cues follow from its
// channels), input limits that the corner's yaw rate exceeds, rig limits that the lateral cue
// exceeds, belt weights, an effect, a wind cue, and GROUND chains that must not contribute.
const RigSetup rig{
    {
        {0, 0, "GAIN(CROP(VALUE;-8;8);0.125)", [](double x) { return std::max(-8.0, std::min(8.0, x)) * 0.125; }},
        {0, 1, "GAIN(VALUE;0.25)", [](double x) { return x * 0.25; }},
        {0, 2, "GAIN(ADD(VALUE;-9.75);0.5)", [](double x) { return (x + -9.75) * 0.5; }},
        {0, 3, "GAIN(VALUE;0.0625)", [](double x) { return x * 0.0625; }},
        {0, 4, "GAIN(VALUE;0.5)", [](double x) { return x * 0.5; }},
        {0, 5, "VALUE", [](double x) { return x; }},
        {0, 6, "GAIN(VALUE;0.25)", [](double x) { return x * 0.25; }},
        {0, 7, "gain(VALUE;-0,25)", [](double x) { return x * -0.25; }},
        {0, 8, "GAIN(VALUE;0.5)", [](double x) { return x * 0.5; }},
        {0, 9, "VALUE", [](double x) { return x; }},
        {0, 10, "ADD(VALUE;100)", [](double x) { return x + 100.0; }},
        {0, 11, "GAIN(VALUE;-20)", [](double x) { return x * -20.0; }},
        // 12 to 14 pass their channels through: they tell which telemetry record belongs to a
        // calculation record.
        {0, 12, "VALUE", [](double x) { return x; }},
        {0, 13, "VALUE", [](double x) { return x; }},
        {0, 14, "VALUE", [](double x) { return x; }},
        {0, 15, "ADD(VALUE;0.5)", [](double x) { return x + 0.5; }},
        {0, 21, "ADD(VALUE;42)", [](double x) { return x + 42.0; }},  // the game sends no speed
        {1, 0, "GAIN(VALUE;3)", [](double x) { return x * 3.0; }},
        {1, 1, "GAIN(VALUE;3)", [](double x) { return x * 3.0; }},
        {1, 4, "GAIN(VALUE;3)", [](double x) { return x * 3.0; }},
        {1, 8, "GAIN(VALUE;3)", [](double x) { return x * 3.0; }},
    },
    {{{-15, 15}, {-15, 15}, {-30, 30}, {-12, 12}, {-10, 10}, {-10, 10}, {-15, 15}, {-15, 15}}},
    {{{-1, 1}, {-1, 1}, {-1, 1}, {-1, 1}, {-1, 1}, {-0.5, 0.5}}},
    [] {
        std::array<double, modelChannels> mix{};
        mix[1] = 1.0;
        mix[4] = 0.5;
        return mix;
    }(),
    0.5,
};

constexpr const char* rigBoard = "com5";
constexpr const char* fanBoard = "com8";
constexpr int beamNgId = 12;

struct Records {
    std::vector<CalculationSnapshot> calculations;
    std::vector<AccelerationSnapshot> telemetry;
};

void takeSnapshots(Records& into) {
    int count = 0;
    CalculationSnapshot* calculations = GetCalculationSnapshots(&count);
    into.calculations.insert(into.calculations.end(), calculations, calculations + count);
    FreeCalculationSnapshots(calculations);
    AccelerationSnapshot* telemetry = GetAccelerationSnapshots(&count);
    into.telemetry.insert(into.telemetry.end(), telemetry, telemetry + count);
    FreeAccelerationSnapshots(telemetry);
}

ChannelValues channelsOf(const AccelerationSnapshot& record) {
    ChannelValues channels;
    std::copy(std::begin(record.channels), std::end(record.channels), channels.begin());
    return channels;
}

SlotValues slotsOf(const CalculationSnapshot& record) {
    SlotValues values;
    std::copy(std::begin(record.values), std::end(record.values), values.begin());
    return values;
}

// Values the engine and the model compute by the same rules, allowing for the order of rounding.
bool nearlyEqual(double actual, double expected) {
    return std::abs(actual - expected) <= 1e-12 * (1.0 + std::abs(expected));
}

// Whether each calculation record is what the model makes of the telemetry record `skew`
// places after it (of the same cycle), and the belt sum in that record the model's.
::testing::AssertionResult recordsFollowModel(const Records& records, std::ptrdiff_t skew) {
    std::size_t pairs = 0;
    for (std::size_t i = 0; i < records.calculations.size(); ++i) {
        const auto t = static_cast<std::ptrdiff_t>(i) + skew;
        if (t < 0 || t >= static_cast<std::ptrdiff_t>(records.telemetry.size())) continue;
        ++pairs;
        const ChannelValues channels = channelsOf(records.telemetry[static_cast<std::size_t>(t)]);
        const Evaluation expected = evaluate(rig, channels);
        if (!nearlyEqual(channels[42], expected.beltSum)) {
            return ::testing::AssertionFailure() << "record " << i << ": belt sum " << channels[42] << ", expected " << expected.beltSum;
        }
        const SlotValues record = calculationRecord(expected);
        for (std::size_t slot = 0; slot < record.size(); ++slot) {
            if (!nearlyEqual(records.calculations[i].values[slot], record[slot])) {
                return ::testing::AssertionFailure() << "record " << i << " slot " << slot << ": "
                                                     << records.calculations[i].values[slot] << ", expected " << record[slot];
            }
        }
    }
    if (pairs < 100) return ::testing::AssertionFailure() << "only " << pairs << " records to compare";
    return ::testing::AssertionSuccess();
}

std::string gameName() {
    char name[21] = {};
    getGameName(name);
    return name;
}

class BeamNgToRig : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        ASSERT_TRUE(game.ready());
        bench().attach(8);
        startBridge();
        connectOnStandardPort(5);
        installRig();
        ASSERT_TRUE(initWindSerial(L"COM8", 9600, L"8N1", 5));
    }

    void TearDown() override {
        stopGamesource_Thread();
        game.stop();
        setMotionsystemready(0);
        activateMotionCancel(false);
        LinkFixture::TearDown();
    }

    static void installRig() {
        for (const SlotChain& chain : rig.chains) ASSERT_EQ(setcheckFilterstring(chain.profile, chain.slot, chain.text), 1) << chain.text;
        for (int slot = 0; slot < 8; ++slot) {
            SetInputDofLimitValue(slot, rig.inputLimits[static_cast<std::size_t>(slot)].low,
                                  rig.inputLimits[static_cast<std::size_t>(slot)].high);
        }
        for (int slot = 0; slot < 6; ++slot) {
            SetRigDofLimitValue(slot, rig.rigLimits[static_cast<std::size_t>(slot)].low,
                                rig.rigLimits[static_cast<std::size_t>(slot)].high);
        }
        for (int channel = 0; channel < modelChannels; ++channel) setBelt_Mix(0, channel, rig.airBeltMix[static_cast<std::size_t>(channel)]);
        setBelt_Mix(1, 1, 7.0);  // the GROUND profile's weights are kept but never used
    }

    // Plays the drive from `scriptTime` and waits until the engine has found the game and
    // connected to it. (The game a stopped engine found last is still named until its next
    // thread has started afresh, so the name alone would not tell.)
    void playAndDetect(double scriptTime) {
        game.seek(scriptTime);
        game.start();
        startGamesource_Thread();
        ASSERT_TRUE(waitFor([] { return MotionEngine::instance().connected.load(); }, 30s)) << "BeamNG was not found";
        EXPECT_EQ(getGameID(), beamNgId);
        EXPECT_EQ(gameName(), "BeamNG");
    }

    // The script time of the frame whose channels these are, searched from frame `cursor` on.
    ::testing::AssertionResult matchScript(const ChannelValues& channels, std::uint64_t& cursor) {
        const std::uint64_t sent = game.framesSent() + 1;
        for (std::uint64_t frame = cursor; frame <= sent; ++frame) {
            const ChannelValues expected = beamNgChannels(script.at(game.frameTime(frame)));
            bool same = true;
            for (std::size_t i = 1; i < 42 && same; ++i) same = std::abs(channels[i] - expected[i]) <= 1e-9 * (1.0 + std::abs(expected[i]));
            if (same) {
                cursor = frame;
                return ::testing::AssertionSuccess();
            }
        }
        return ::testing::AssertionFailure() << "no frame sent from " << cursor << " to " << sent
                                             << " carries these channels (lateral_accel " << channels[2] << ")";
    }

    bool rigFrameArrives(const FrameBody& body, std::chrono::milliseconds limit = 10s) {
        return waitFor(
            [&] {
                const Bytes last = boards().lastFrame(rigBoard).bytes;
                return last.size() == 36 && std::equal(body.begin(), body.end(), last.begin());
            },
            limit);
    }

    emulator::TelemetryEmulator game{emulator::beamNgEncoder};
    const emulator::DriveScript& script = game.script();
};

TEST_F(BeamNgToRig, TheDriveReachesTheRigAsTheFiltersAndLimitsSay) {
    playAndDetect(2.0);  // the launch, while the engine finds the game and the rig gets ready
    activateMotionCancel(true);
    setGainMotionCancel(rig.poseGain);
    setFilterMotionCancel(1.0);  // unfiltered, so that the pose settles on the gained cues
    platform::SharedMemory poseBlock;
    ASSERT_TRUE(poseBlock.openExisting(L"Local\\motionRigPose", platform::MapAccess::read));
    const void* poseView = poseBlock.map(platform::MapAccess::read, 48);
    ASSERT_NE(poseView, nullptr);
    auto pose = [poseView] {
        std::array<double, 6> values;
        std::memcpy(values.data(), poseView, sizeof values);
        return values;
    };

    setMotionsystemready(1);
    EXPECT_LT(getTransitionStatus(), 100.0) << "the rig's readiness starts the soft start";

    // Two seconds of settled cycles, replayed from the end of the braking into the corner so
    // that every motion slot moves: every calculation record must follow from its telemetry
    // record, and every frame on the rig's line from its calculation record. A freeze in the
    // middle (a stalled machine can starve the stream) spoils the stretch; then take another.
    Records window;
    std::vector<Bytes> frames;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(waitFor([] { return getTransitionStatus() == 100.0; }, 30s)) << "the soft start never ended";
        game.stop();
        game.seek(12.4);
        game.start();
        Records before;
        takeSnapshots(before);
        window = {};
        boards().clear(rigBoard);
        const auto end = std::chrono::steady_clock::now() + 2s;
        while (std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(40ms);
            takeSnapshots(window);
        }
        frames = boards().frames(rigBoard);
        takeSnapshots(window);
        if (getTransitionStatus() == 100.0) break;
    }
    ASSERT_EQ(getTransitionStatus(), 100.0);
    ASSERT_GT(window.calculations.size(), 100u);

    // The two kinds of record are taken one after the other, while the engine runs on: the two
    // lists may begin a few cycles apart, but from there on they run in step.
    ::testing::AssertionResult followsModel = recordsFollowModel(window, 0);
    for (std::ptrdiff_t skew = 1; !followsModel && skew <= 20; ++skew) {
        if (recordsFollowModel(window, skew) || recordsFollowModel(window, -skew)) followsModel = ::testing::AssertionSuccess();
    }
    ASSERT_TRUE(followsModel);

    // The telemetry: frame by frame the replayed drive, once the frames from before the replay
    // have passed.
    std::size_t replayed = 0;
    std::uint64_t scriptCursor = 0;
    while (replayed < window.telemetry.size() && !matchScript(channelsOf(window.telemetry[replayed]), scriptCursor)) ++replayed;
    ASSERT_LT(replayed, 500u) << "the replayed drive never reached the engine";
    for (std::size_t i = replayed; i < window.telemetry.size(); ++i) {
        ASSERT_TRUE(matchScript(channelsOf(window.telemetry[i]), scriptCursor)) << "record " << i;
    }
    EXPECT_GT(scriptCursor, 100u) << "the stretch should follow the drive frame by frame";
    for (int slot = 0; slot <= 10; ++slot) {
        std::set<double> values;
        for (const CalculationSnapshot& calculation : window.calculations) values.insert(calculation.values[slot]);
        EXPECT_GT(values.size(), 10u) << "slot " << slot << " hardly moved during the stretch";
    }

    // Frames on the line: each one the frame of a recorded cycle, once the frames of the cycles
    // before the stretch have passed.
    std::set<FrameBody> recordedFrames;
    for (const CalculationSnapshot& calculation : window.calculations) recordedFrames.insert(rigFrameBody(slotsOf(calculation), rig));
    std::erase_if(frames, [](const Bytes& frame) { return frame[0] != 0xFC; });
    std::size_t matched = 0;
    for (const Bytes& frame : frames) {
        ASSERT_EQ(frame.size(), 36u);
        FrameBody body;
        std::copy(frame.begin(), frame.begin() + 34, body.begin());
        if (recordedFrames.count(body) != 0) {
            ++matched;
        } else {
            EXPECT_EQ(matched, 0u) << "a frame on the line that no recorded cycle built: " << toHex(frame);
        }
    }
    EXPECT_GE(matched, window.calculations.size() / 2);
    const BoardCounts counts = boards().counts(rigBoard);
    EXPECT_EQ(counts.badFrames, 0u) << "every frame's check field must hold";
    EXPECT_EQ(counts.strayBytes, 0u);

    // The fan: a zero when it starts, then the wind cue's byte once per interval, rising with
    // the soft start to the byte of the settled cue.
    const std::uint8_t fan = fanByte(42.0);
    ASSERT_TRUE(waitFor([&] {
        const Bytes bytes = boards().received(fanBoard);
        return std::count(bytes.begin(), bytes.end(), fan) >= 3;
    }));
    const Bytes fanBytes = boards().received(fanBoard);
    EXPECT_EQ(fanBytes.front(), 0x00);
    EXPECT_TRUE(std::is_sorted(fanBytes.begin(), fanBytes.end())) << toHex(fanBytes);
    EXPECT_EQ(fanBytes.back(), fan);

    // The stream ends: from its last frame on every cycle repeats the same cues, and everything
    // published settles on them.
    const std::array<double, 6> poseWhileDriving = pose();
    EXPECT_TRUE(std::all_of(poseWhileDriving.begin(), poseWhileDriving.end(), [](double v) { return std::isfinite(v); }));
    game.stop();
    CalculationSnapshot settled{};
    AccelerationSnapshot settledTelemetry{};
    int repeats = 0;
    ASSERT_TRUE(waitFor(
        [&] {
            Records latest;
            takeSnapshots(latest);
            for (std::size_t i = 0; i < latest.calculations.size(); ++i) {
                const bool same = std::memcmp(&latest.calculations[i], &settled, sizeof settled) == 0;
                repeats = same ? repeats + 1 : 0;
                settled = latest.calculations[i];
            }
            if (!latest.telemetry.empty()) settledTelemetry = latest.telemetry.back();
            return repeats >= 30;
        },
        20s))
        << "the cues never settled after the stream ended";
    const SlotValues settledCues = calculationRecord(evaluate(rig, channelsOf(settledTelemetry)));
    for (std::size_t slot = 0; slot < settledCues.size(); ++slot) EXPECT_TRUE(nearlyEqual(settled.values[slot], settledCues[slot]));
    const FrameBody settledFrame = rigFrameBody(slotsOf(settled), rig);
    EXPECT_TRUE(rigFrameArrives(settledFrame)) << "the rig never received the last cycle's frame";

    EXPECT_TRUE(waitFor([&] {
        const auto now = pose();
        for (std::size_t axis = 0; axis < 6; ++axis) {
            if (!nearlyEqual(now[axis], rig.poseGain * settledCues[axis])) return false;
        }
        return true;
    })) << "the rig pose block never settled on the gained cues";

    // The engine's own records of its last cycle, read once its thread has ended.
    stopGamesource_Thread();
    unsigned char output[36];
    getOutputData(output);
    EXPECT_TRUE(std::equal(settledFrame.begin(), settledFrame.end(), output));
    EXPECT_EQ(output[34], 0x0A);
    EXPECT_EQ(output[35], 0x0D);
    const double* position = GetPositionSnapshot();
    for (int slot = 0; slot < TARVELIN_RIG_SLOTS; ++slot) EXPECT_EQ(position[slot], settled.values[slot]) << slot;
    EXPECT_TRUE(waitFor([&] {
        const Bytes bytes = boards().received(fanBoard);
        return !bytes.empty() && bytes.back() == 0x00;
    })) << "a stopped engine stops the fan";
}

}  // namespace
}  // namespace tarvelin::test
