// The frame cycle driven step by step, on the engine every export uses: profile evaluation and
// combination, the AIR/GROUND cross-fade, the soft start, the stale freeze, the reset after a
// lost game, snapshots and publishing.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "engine/motion_engine.h"
#include "platform/shared_memory.h"
#include "serial/bridge_state.h"
#include "tarvelin/motion.h"

using namespace tarvelin;

namespace {

class EngineCycle : public ::testing::Test {
protected:
    MotionEngine& engine = MotionEngine::instance();
    GameData& record = engine.gameData();

    void SetUp() override {
        for (int profile = 0; profile < 2; ++profile) {
            for (int slot = 0; slot < rigSlotCount; ++slot) {
                ASSERT_EQ(setcheckFilterstring(profile, slot, "VALUE"), 1);
                setActiveAxis(profile, slot, true);
            }
            for (int channel = 0; channel < channelCount; ++channel) setBelt_Mix(profile, channel, 0.0);
        }
        for (int slot = 0; slot < 8; ++slot) SetInputDofLimitValue(slot, -1000.0, 1000.0);
        for (int slot = 0; slot < rigSlotCount; ++slot) SetRigDofLimitValue(slot, -1000.0, 1000.0);
        engine.gameSource.clearFlags();
        engine.gameSource.activeFlags[indexOf(GameId::beamNg)] = true;
        engine.gameSource.beamNg.profileSelector = 0;
        engine.activeProfil = 0;
        engine.airWeight = 1.0;
        engine.groundWeight = 0.0;
        engine.crossFadeActive = false;
        engine.transitionProgress = 1.0;
        engine.staleCycles = 0;
        engine.readFailures = 0;
        engine.outputHeld = false;
        engine.connected = true;
        record.channels.fill(0.0);
        record.previousChannels.fill(0.0);
        record.cueValues.fill(0.0);
        record.frozenCues.fill(0.0);
        record.airOutputs.fill(0.0);
        record.groundOutputs.fill(0.0);
        // Cycles driven by hand take no time; the soft start advances by the last interval.
        engine.cycleTimer.lastInterval = 2.0 * engine.cycleTimer.ticksPerMs;
        drainSnapshots();
    }

    void TearDown() override {
        engine.gameSource.clearFlags();
        engine.connected = false;
        engine.outputHeld = true;
    }

    static void drainSnapshots() {
        int count = 0;
        FreeCalculationSnapshots(GetCalculationSnapshots(&count));
        FreeAccelerationSnapshots(GetAccelerationSnapshots(&count));
    }

    // The frames the cycles handed to the link since the last call, with the link counting as
    // running.
    static std::vector<serial::Message> framesSent() {
        std::vector<serial::Message> frames;
        serial::Message frame;
        while (serial::bridgeState().serialSendQueue.takeFront(frame)) frames.push_back(frame);
        return frames;
    }

    static float axisOf(const serial::Message& frame, int axis) {
        float value;
        std::memcpy(&value, frame.data() + 2 + 4 * axis, sizeof value);
        return value;
    }

    void setMotionChannels() {
        record.channels[lateralAccelG] = 1.0;
        record.channels[longitudinalAccelG] = 2.0;
        record.channels[verticalAccelG] = 3.0;
        record.channels[yawSpeed] = 4.0;
        record.channels[rollSpeed] = 5.0;
        record.channels[pitchSpeed] = 6.0;
        record.channels[rollPosition] = 7.0;
        record.channels[pitchPosition] = 8.0;
        record.channels[speed] = 50.0;
    }
};

}  // namespace

TEST_F(EngineCycle, CombinesTheProfilesByTheFixedSums) {
    setMotionChannels();
    ASSERT_EQ(setcheckFilterstring(0, 19, "ADD(VALUE;0.5)"), 1);  // a roll effect
    setBelt_Mix(0, 1, 0.5);   // half the longitudinal belt component
    setBelt_Mix(0, 11, 9.0);  // not one of the four belt weights: no effect
    setBelt_Mix(1, 1, 9.0);   // the GROUND profile's weights are not used
    engine.transitionProgress = 1.0;
    engine.processCycle();

    const auto& cue = record.cueValues;
    EXPECT_EQ(cue[0], 1.0);
    EXPECT_EQ(cue[1], 2.0);
    EXPECT_EQ(cue[2], 3.0);
    EXPECT_EQ(cue[3], 4.0);
    EXPECT_EQ(cue[6], 1.0);
    EXPECT_EQ(cue[8], 7.0);
    EXPECT_EQ(cue[4], 1.0 + 5.0 + 7.0 + 0.5);  // roll: lateral-to-roll, roll rate, roll angle, effect
    EXPECT_EQ(cue[5], 2.0 + 6.0 + 8.0);
    EXPECT_EQ(record.channels[beltSum], 0.5 * 2.0);
    EXPECT_EQ(cue[10], 1.0);
    EXPECT_EQ(cue[21], 50.0);
    EXPECT_EQ(cue[12], 0.0) << "belt components are not combined";
    for (double ground : record.groundOutputs) EXPECT_EQ(ground, 0.0) << "GROUND has weight 0";

    int count = 0;
    CalculationSnapshot* calculation = GetCalculationSnapshots(&count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(calculation[0].values[10], 1.0);
    EXPECT_EQ(calculation[0].values[12], 3.0) << "entry 12 is the AIR output of the belt component";
    EXPECT_EQ(calculation[0].values[21], 50.0);
    EXPECT_EQ(GetPositionSnapshot()[4], cue[4]);
    FreeAccelerationSnapshots(calculation);  // either free function takes either block
}

TEST_F(EngineCycle, CrossFadesToGroundOverOneHundredCycles) {
    setMotionChannels();
    engine.gameSource.beamNg.profileSelector = 1;
    engine.processCycle();
    EXPECT_EQ(getactiveProfil(), 1);
    EXPECT_EQ(record.airOutputs[0], 1.0) << "the switching cycle still runs on (1, 0)";
    EXPECT_DOUBLE_EQ(engine.airWeight, 0.99);
    EXPECT_DOUBLE_EQ(engine.groundWeight, 0.01);
    for (int cycle = 2; cycle < 100; ++cycle) engine.processCycle();
    EXPECT_TRUE(engine.crossFadeActive);
    engine.processCycle();
    EXPECT_FALSE(engine.crossFadeActive);
    EXPECT_EQ(engine.airWeight, 0.0);
    EXPECT_EQ(engine.groundWeight, 1.0);
    for (double air : record.airOutputs) EXPECT_EQ(air, 0.0);
    EXPECT_EQ(getProfilGrdTransitionStatus(), 100.0);
    EXPECT_EQ(getProfilAirTransitionStatus(), 0.0);
    engine.processCycle();
    EXPECT_EQ(record.cueValues[0], 1.0) << "GROUND now carries the motion alone";
}

TEST_F(EngineCycle, SoftStartBlendsFromTheFrozenCuesOverFourSeconds) {
    record.channels[lateralAccelG] = 1.0;
    engine.processCycle();
    setActiveAxis(0, 22, true);  // any configuration change freezes the cues
    EXPECT_EQ(getTransitionStatus(), 0.0);
    record.channels[lateralAccelG] = 3.0;
    engine.processCycle();
    EXPECT_EQ(record.cueValues[0], 1.0) << "the cycle of the freeze publishes the frozen value";
    engine.processCycle();
    EXPECT_DOUBLE_EQ(record.cueValues[0], 1.0 + 2.0 * (2.0 / 4000.0));
    for (int cycle = 2; cycle < 2001; ++cycle) engine.processCycle();
    EXPECT_EQ(getTransitionStatus(), 100.0);
    engine.processCycle();
    EXPECT_EQ(record.cueValues[0], 3.0);
}

TEST_F(EngineCycle, UnchangedTelemetryFreezesTheCuesAfter251Cycles) {
    record.channels[lateralAccelG] = 1.0;
    for (int cycle = 0; cycle < 252; ++cycle) {
        ASSERT_TRUE(engine.readStage());
        engine.processCycle();
    }
    EXPECT_EQ(engine.staleCycles, 251) << "the first cycle saw the channel move";
    EXPECT_GT(getTransitionStatus(), 0.0);
    ASSERT_TRUE(engine.readStage());
    EXPECT_EQ(getTransitionStatus(), 0.0);

    record.channels[rpm] = 5000.0;  // beyond the 23 channels the test looks at
    engine.processCycle();
    ASSERT_TRUE(engine.readStage());
    EXPECT_EQ(getTransitionStatus(), 0.0);

    record.channels[lateralSpeed] = 12.0;
    engine.processCycle();
    EXPECT_EQ(engine.staleCycles, 0);
    ASSERT_TRUE(engine.readStage());
    engine.processCycle();
    EXPECT_GT(engine.transitionProgress, 0.0);
}

TEST_F(EngineCycle, TheThousandAndFirstFailedReadResetsTheConnection) {
    for (int read = 0; read < 1000; ++read) ASSERT_TRUE(engine.readStage()) << "read " << read;
    EXPECT_TRUE(engine.connected);
    EXPECT_FALSE(engine.readStage());
    EXPECT_FALSE(engine.connected);
    EXPECT_TRUE(engine.outputHeld);
    EXPECT_EQ(engine.readFailures, 0);
    EXPECT_EQ(getGameID(), -1);
}

TEST_F(EngineCycle, SnapshotsKeepTheLast150CyclesOldestFirst) {
    for (int cycle = 0; cycle < 200; ++cycle) {
        record.channels[lateralSpeed] = cycle;
        engine.processCycle();
    }
    int count = 0;
    AccelerationSnapshot* telemetry = GetAccelerationSnapshots(&count);
    ASSERT_EQ(count, 150);
    for (int i = 0; i < count; ++i) EXPECT_EQ(telemetry[i].channels[lateralSpeed], 50.0 + i);
    FreeCalculationSnapshots(telemetry);
    CalculationSnapshot* calculation = GetCalculationSnapshots(&count);
    EXPECT_EQ(count, 150);
    FreeCalculationSnapshots(calculation);

    EXPECT_EQ(GetAccelerationSnapshots(&count), nullptr);
    EXPECT_EQ(count, 0);
    FreeAccelerationSnapshots(nullptr);
}

TEST_F(EngineCycle, PublishesTheFrameOnlyWhileOutputIsNotHeld) {
    record.channels[lateralAccelG] = 0.25;
    engine.outputHeld = true;
    engine.processCycle();
    unsigned char before[36];
    getOutputData(before);

    engine.outputHeld = false;
    engine.processCycle();
    unsigned char after[36];
    getOutputData(after);
    EXPECT_EQ(after[0], 0xFC);
    float lateral;
    std::memcpy(&lateral, after + 2, 4);
    EXPECT_EQ(lateral, 0.25f);
    EXPECT_NE(std::memcmp(before, after, 36), 0);
}

TEST_F(EngineCycle, MotionCancelWritesTheLowPassedPoseForOtherPrograms) {
    setGainMotionCancel(3.0);  // ignored while motion cancelling is off
    EXPECT_EQ(engine.motionCancelGain, 1.0);
    activateMotionCancel(true);
    setGainMotionCancel(2.0);
    setFilterMotionCancel(4.0);
    engine.motionCancelOutputs.fill(0.0);
    record.channels[pitchSpeed] = 1.0;
    engine.processCycle();

    platform::SharedMemory reader;
    ASSERT_TRUE(reader.openExisting(L"Local\\motionRigPose", platform::MapAccess::read));
    const auto* pose = static_cast<const double*>(reader.map(platform::MapAccess::read, 48));
    ASSERT_NE(pose, nullptr);
    EXPECT_DOUBLE_EQ(pose[5], 2.0 * 1.0 / 4.0);
    EXPECT_EQ(pose[0], 0.0);

    activateMotionCancel(false);
    setFilterMotionCancel(30.0);
    EXPECT_EQ(engine.motionCancelFilter, 4.0);
    activateMotionCancel(true);
    EXPECT_EQ(engine.motionCancelFilter, 60.0) << "switching on resets the filter";
    activateMotionCancel(false);
    engine.motionCancelGain = 1.0;
}

TEST_F(EngineCycle, ReadinessChangesFreezeOnlyOnAChange) {
    engine.motionSystemReady = false;
    engine.transitionProgress = 1.0;
    setMotionsystemready(1);
    EXPECT_TRUE(engine.motionSystemReady);
    EXPECT_EQ(engine.transitionProgress, 0.0);
    engine.transitionProgress = 1.0;
    setMotionsystemready(1);
    setMotionsystemready(2);
    EXPECT_EQ(engine.transitionProgress, 1.0);
    setMotionsystemready(0);
    EXPECT_FALSE(engine.motionSystemReady);
    EXPECT_EQ(engine.transitionProgress, 0.0);
}

// A filter that overflows (a gain beyond the float range is infinite) must neither throw the
// rig to 0 nor put inf or NaN anywhere a host looks; a freeze then holds the last finite cue.
TEST_F(EngineCycle, ACueThatIsNotFiniteHoldsItsLastFiniteValue) {
    const std::string overflowing = "GAIN(VALUE;" + std::string(40, '9') + ")";
    const struct {
        double before;
        double after;  // the input that the overflowing gain makes +inf, -inf or NaN (0 × inf)
    } cases[] = {{0.9, 0.9}, {-0.9, -0.9}, {0.9, 0.0}};
    SetRigDofLimitValue(0, -1.0, 1.0);
    for (const auto& c : cases) {
        ASSERT_EQ(setcheckFilterstring(0, 0, "VALUE"), 1);
        record.channels[lateralAccelG] = c.before;
        for (int cycle = 0; cycle < 2010; ++cycle) engine.processCycle();
        ASSERT_EQ(record.cueValues[0], c.before);

        ASSERT_EQ(setcheckFilterstring(0, 0, overflowing.c_str()), 1);
        record.channels[lateralAccelG] = c.after;
        for (int cycle = 0; cycle < 10; ++cycle) engine.processCycle();
        setActiveAxis(0, 22, true);  // a freeze while the chain overflows
        engine.processCycle();
        EXPECT_EQ(record.cueValues[0], c.before) << c.before;
        EXPECT_EQ(record.frozenCues[0], c.before);
        EXPECT_EQ(record.airOutputs[0], c.before);
        unsigned char frame[36];
        getOutputData(frame);
        float lateral;
        std::memcpy(&lateral, frame + 2, 4);
        EXPECT_EQ(lateral, static_cast<float>(c.before));
        int count = 0;
        CalculationSnapshot* records = GetCalculationSnapshots(&count);
        for (int i = 0; i < count; ++i) {
            for (double value : records[i].values) ASSERT_TRUE(std::isfinite(value)) << "record " << i;
        }
        FreeCalculationSnapshots(records);

        // The chain is mended: the soft start blends from the held value, not from 0.
        ASSERT_EQ(setcheckFilterstring(0, 0, "VALUE"), 1);
        record.channels[lateralAccelG] = 0.5;
        engine.processCycle();
        engine.processCycle();
        EXPECT_NEAR(record.cueValues[0], c.before, 0.01);
    }
}

// The park glides every axis, the belt and the wind to neutral along a half cosine of the set
// duration, the rate limits holding back an axis that would move faster, and leaves the cues
// at zero for the soft start of the next game. Without a duration, or when the engine was not
// publishing, the rig holds its pose.
TEST_F(EngineCycle, TheParkGlidesTheRigToNeutralWithinItsRateLimits) {
    auto& link = serial::bridgeState();
    link.bridgeRunning = true;
    for (int axis = 0; axis < 6; ++axis) SetRigDofLimitValue(axis, -1.0, 1.0);
    setBelt_Mix(0, 1, 1.0);  // the belt follows the longitudinal channel
    auto drive = [&] {
        record.channels[lateralAccelG] = 0.8;
        record.channels[longitudinalAccelG] = 300.0;  // beyond the rig limit, 300 on the belt
        record.channels[verticalAccelG] = -2.0;
        record.channels[speed] = 50.0;
        engine.processCycle();
        framesSent();
    };
    const struct {
        double parkMs;
        bool published;
        std::size_t frames;  // at least
    } cases[] = {{0.0, true, 0}, {100.0, false, 0}, {100.0, true, 100}};
    engine.motionSystemReady = true;
    for (const auto& c : cases) {
        drive();
        setParkDuration(c.parkMs);
        SetRigDofRateLimit(2, 5.0);  // the vertical axis needs 100 cycles to come back from -1
        engine.publishedLastCycle = c.published;
        engine.parkRig();
        const auto frames = framesSent();
        ASSERT_GE(frames.size(), c.frames) << c.parkMs;
        if (c.frames == 0) {
            EXPECT_TRUE(frames.empty()) << "the rig holds its pose";
            continue;
        }
        ASSERT_LT(frames.size(), 150u);
        // The lateral ramp's steepest step is π/2 × 0.8 × 2 ms / 100 ms.
        const float steepest = static_cast<float>(std::numbers::pi / 2.0 * 0.8 * 0.02) + 1e-6f;
        float previous[3] = {0.8f, 1.0f, -1.0f};
        for (std::size_t i = 0; i < frames.size(); ++i) {
            ASSERT_LE(std::abs(axisOf(frames[i], 0) - previous[0]), steepest) << "frame " << i;
            ASSERT_LE(axisOf(frames[i], 0), previous[0]) << "frame " << i;
            ASSERT_LE(std::abs(axisOf(frames[i], 2) - previous[2]), 0.01f + 1e-6f) << "frame " << i;
            for (int axis = 0; axis < 3; ++axis) previous[axis] = axisOf(frames[i], axis);
        }
        const serial::Message& last = frames.back();
        for (int axis = 0; axis < 6; ++axis) EXPECT_EQ(axisOf(last, axis), 0.0f) << "axis " << axis;
        EXPECT_EQ(std::memcmp(last.data() + 26, "\0\0\0\0\0\0\0\0", 8), 0) << "belt and wind at 0";
        for (double cue : record.cueValues) EXPECT_EQ(cue, 0.0);
        engine.freezeCues();
        for (double cue : record.frozenCues) EXPECT_EQ(cue, 0.0) << "the next soft start begins at neutral";
    }
    setParkDuration(0.0);
    SetRigDofRateLimit(2, 0.0);
    engine.motionSystemReady = false;
    link.bridgeRunning = false;
}
