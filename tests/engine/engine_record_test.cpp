#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "core/rig_axes.h"
#include "engine/motion_engine.h"
#include "platform/app_data.h"
#include "tarvelin/motion.h"

using tarvelin::MotionEngine;

TEST(TelemetryRecord, StartsAtZeroAndReportsItsSizes) {
    EXPECT_EQ(getGameDataCount(), 44);

    double* channels = nullptr;
    int count = 0;
    getGameData(&channels, &count);
    ASSERT_NE(channels, nullptr);
    ASSERT_EQ(count, 43);
    for (int i = 0; i < count; ++i) EXPECT_EQ(channels[i], 0.0) << "channel " << i;

    for (int kind = 0; kind < 4; ++kind) {
        double* cues = nullptr;
        int cueCount = 0;
        getMotionCueData(kind, &cues, &cueCount);
        ASSERT_NE(cues, nullptr);
        ASSERT_EQ(cueCount, 23);
        for (int slot = 0; slot < cueCount; ++slot) EXPECT_EQ(cues[slot], 0.0);
    }
    EXPECT_EQ(getGameTimeFrame(), 0.0);
}

TEST(TelemetryRecord, NamesTableLinesUpWithChannels) {
    const char* const* names = nullptr;
    int count = 0;
    getGameDataNames(&names, &count);
    ASSERT_EQ(count, 43);
    EXPECT_STREQ(names[0], "lateral_speed");     // channel 1
    EXPECT_STREQ(names[10], "vertica_accel_g");  // channel 11
    EXPECT_STREQ(names[27], "speed");            // channel 28, the wind slot's input
    EXPECT_STREQ(names[40], "simtools_axis4b");  // channel 41
    EXPECT_EQ(names[41], nullptr);
    EXPECT_EQ(names[42], nullptr);
    for (int i = 0; i < 41; ++i) {
        ASSERT_NE(names[i], nullptr);
        EXPECT_LE(std::strlen(names[i]), 15u);
    }
}

TEST(TelemetryRecord, CueKindsSelectDistinctArraysOfTheRecord) {
    auto& record = MotionEngine::instance().gameData();
    const double* expected[] = {record.airOutputs.data(), record.groundOutputs.data(), record.cueValues.data(),
                                record.frozenCues.data()};
    for (int kind = 0; kind < 4; ++kind) {
        double* data = nullptr;
        int count = 0;
        getMotionCueData(kind, &data, &count);
        EXPECT_EQ(data, expected[kind]) << "kind " << kind;
    }
}

// Every export that takes a pointer, called with null where it could be: nothing is written
// through a null pointer, and a pointer that is given still receives its value. An unknown cue
// kind leaves both out-parameters as they were.
TEST(Exports, WriteNothingThroughNullPointers) {
    double sentinel = 1.5;
    double* data = &sentinel;
    const char* const* names = nullptr;
    int count = -7;
    auto untouched = [&] { return data == &sentinel && count == -7; };

    for (int kind : {4, -1, 1000}) {
        getMotionCueData(kind, &data, &count);
        EXPECT_TRUE(untouched()) << "kind " << kind;
    }
    for (int kind : {0, 3, 4}) {
        getMotionCueData(kind, nullptr, nullptr);
        getMotionCueData(kind, nullptr, &count);
        getMotionCueData(kind, &data, nullptr);
    }
    EXPECT_EQ(count, 23);
    EXPECT_EQ(data, MotionEngine::instance().gameData().frozenCues.data());

    getGameData(nullptr, nullptr);
    count = 0;
    getGameData(nullptr, &count);
    EXPECT_EQ(count, 43);
    getGameData(&data, nullptr);
    EXPECT_EQ(data, MotionEngine::instance().gameData().channels.data());

    getGameDataNames(nullptr, nullptr);
    count = 0;
    getGameDataNames(nullptr, &count);
    EXPECT_EQ(count, 43);
    getGameDataNames(&names, nullptr);
    ASSERT_NE(names, nullptr);
    EXPECT_STREQ(names[0], "lateral_speed");

    getGameName(nullptr);
    getOutputData(nullptr);
    FreeCalculationSnapshots(GetCalculationSnapshots(nullptr));
    FreeAccelerationSnapshots(GetAccelerationSnapshots(nullptr));
    EXPECT_FALSE(initWindSerial(nullptr, 9600, nullptr, 15));
    EXPECT_EQ(sendMessagemmf(nullptr, 8), -1);
    EXPECT_EQ(autoMessagemmf(nullptr), 0);
    EXPECT_EQ(readMessagemmf(nullptr), 0);
    EXPECT_EQ(setStandartPort(nullptr), 0);
}

// The engine's readers each keep a log of their own; the file behind them is opened once.
TEST(Exports, TheEngineHoldsItsLogFileOpenOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "open files are counted through /proc";
#else
    getGameDataCount();
    const std::filesystem::path log = tarvelin::platform::roamingAppDataFolder() / "tarvelin" / "errorlog.txt";
    int descriptors = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target == log) ++descriptors;
    }
    EXPECT_EQ(descriptors, 1);
#endif
}

TEST(Limits, RigLimitsTakeSlotsZeroToTwentyTwo) {
    auto& limits = MotionEngine::instance().rigDofLimits;
    SetRigDofLimitValue(0, -1.0, 1.0);
    SetRigDofLimitValue(22, -22.0, 22.5);
    SetRigDofLimitValue(23, -5.0, 5.0);
    SetRigDofLimitValue(-1, -5.0, 5.0);
    EXPECT_EQ(limits[0].low.load(), -1.0);
    EXPECT_EQ(limits[0].high.load(), 1.0);
    EXPECT_EQ(limits[22].low.load(), -22.0);
    EXPECT_EQ(limits[22].high.load(), 22.5);
    for (int slot = 1; slot < 22; ++slot) EXPECT_EQ(limits[slot].high.load(), 0.0) << "slot " << slot;
}

TEST(Limits, InputLimitsFixTheAngleSlotsAndIgnoreTheRest) {
    auto& limits = MotionEngine::instance().inputDofLimits;
    SetInputDofLimitValue(7, -3.0, 4.0);
    SetInputDofLimitValue(8, -10.0, 10.0);
    SetInputDofLimitValue(9, 1.0, 2.0);
    SetInputDofLimitValue(12, -10.0, 10.0);
    SetInputDofLimitValue(-3, -10.0, 10.0);
    EXPECT_EQ(limits[7].low.load(), -3.0);
    EXPECT_EQ(limits[7].high.load(), 4.0);
    EXPECT_EQ(limits[8].low.load(), -360.0);
    EXPECT_EQ(limits[8].high.load(), 360.0);
    EXPECT_EQ(limits[9].low.load(), -360.0);
    EXPECT_EQ(limits[9].high.load(), 360.0);
    EXPECT_EQ(limits[12].low.load(), 0.0);
    EXPECT_EQ(limits[12].high.load(), 0.0);
}

// A limit pair that is not finite or inverted would put NaN on the rig or make an axis jump
// between its two ends every frame: both setters refuse it and keep the previous pair.
TEST(Limits, PairsThatAreNotFiniteOrInvertedAreRefused) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    auto& engine = MotionEngine::instance();
    const double bad[][2] = {{nan, nan}, {-1.0, nan}, {nan, 1.0}, {-inf, 1.0}, {-1.0, inf}, {1.0, -1.0}};
    for (const auto& pair : bad) {
        SetRigDofLimitValue(3, -0.5, 0.5);
        SetInputDofLimitValue(3, -20.0, 20.0);
        SetRigDofLimitValue(3, pair[0], pair[1]);
        SetInputDofLimitValue(3, pair[0], pair[1]);
        EXPECT_EQ(engine.rigDofLimits[3].low.load(), -0.5) << pair[0] << ", " << pair[1];
        EXPECT_EQ(engine.rigDofLimits[3].high.load(), 0.5);
        EXPECT_EQ(engine.inputDofLimits[3].low.load(), -20.0);
        EXPECT_EQ(engine.inputDofLimits[3].high.load(), 20.0);
    }
    SetRigDofLimitValue(3, 0.25, 0.25);  // a single point is a valid range
    EXPECT_EQ(engine.rigDofLimits[3].low.load(), 0.25);
}

// Every other setting a host can get wrong: refused, and the previous value stays.
TEST(Settings, ValuesOutsideTheirRangeAreRefusedAndThePreviousOneStays) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    auto& engine = MotionEngine::instance();
    activateMotionCancel(true);
    setFilterMotionCancel(30.0);
    setGainMotionCancel(2.0);
    for (const double filter : {0.0, -1.0, 0.5, 0.999, 1e-300, nan, inf}) setFilterMotionCancel(filter);
    EXPECT_EQ(engine.motionCancelFilter.load(), 30.0);
    for (const double gain : {1e308, -1e308, 100.5, nan, inf}) setGainMotionCancel(gain);
    EXPECT_EQ(engine.motionCancelGain.load(), 2.0);
    setFilterMotionCancel(1.0);
    setGainMotionCancel(-100.0);
    EXPECT_EQ(engine.motionCancelFilter.load(), 1.0);
    EXPECT_EQ(engine.motionCancelGain.load(), -100.0);
    setGainMotionCancel(1.0);
    activateMotionCancel(false);

    setBelt_Mix(0, 1, 0.5);
    setBelt_Mix(0, 1, nan);
    setBelt_Mix(0, 1, inf);
    EXPECT_EQ(engine.profilAir.beltMix[1].load(), 0.5);
    setBelt_Mix(0, 1, 0.0);

    EXPECT_EQ(engine.parkDurationMs.load(), 0.0) << "no park until the host asks for one";
    for (const double park : {-1.0, 60000.5, nan, inf}) EXPECT_EQ(setParkDuration(park), 0) << park;
    EXPECT_EQ(setParkDuration(60000.0), 1);
    EXPECT_EQ(setParkDuration(0.0), 1);
    EXPECT_EQ(engine.parkDurationMs.load(), 0.0);

    for (int axis = 0; axis < 6; ++axis) EXPECT_EQ(tarvelin::rigAxisSteps()[axis].load(), 0.0) << "no rate limit by default";
    const struct {
        int axis;
        double rate;
        int result;
    } rates[] = {{0, 2.5, 1}, {5, 0.0, 1}, {6, 1.0, 0}, {-1, 1.0, 0}, {22, 1.0, 0}, {1, -0.1, 0}, {1, nan, 0}, {1, inf, 0}};
    for (const auto& rate : rates) EXPECT_EQ(SetRigDofRateLimit(rate.axis, rate.rate), rate.result) << rate.axis << " " << rate.rate;
    EXPECT_DOUBLE_EQ(tarvelin::rigAxisSteps()[0].load(), 2.5 * 0.002) << "2.5 units/s is 0.005 units a 2 ms cycle";
    EXPECT_EQ(tarvelin::rigAxisSteps()[1].load(), 0.0);
    SetRigDofRateLimit(0, 0.0);
}

TEST(MotionOutput, OutputDataCopiesTheLastFrame) {
    tarvelin::RigFrame frame{};
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 7);
    MotionEngine::instance().rigFrame.store(frame);

    unsigned char buffer[40];
    std::memset(buffer, 0xEE, sizeof buffer);
    getOutputData(buffer);
    EXPECT_EQ(std::memcmp(buffer, frame.data(), 36), 0);
    EXPECT_EQ(buffer[36], 0xEE) << "wrote past the 36 bytes of the frame";
}

TEST(ProfileStatus, StartsSettledOnTheAirProfile) {
    EXPECT_EQ(getTransitionStatus(), 100.0);
    EXPECT_EQ(getProfilAirTransitionStatus(), 100.0);
    EXPECT_EQ(getProfilGrdTransitionStatus(), 0.0);
    EXPECT_EQ(getactiveProfil(), 0);
}

TEST(ProfileStatus, ReportsWholePercentTruncatedAndHeldToRange) {
    auto& engine = MotionEngine::instance();
    engine.airWeight = 0.999;
    engine.groundWeight = 1.0 - 0.999;
    engine.transitionProgress = 0.4567;
    EXPECT_EQ(getProfilAirTransitionStatus(), 99.0);
    EXPECT_EQ(getProfilGrdTransitionStatus(), 0.0);
    EXPECT_EQ(getTransitionStatus(), 45.0);
    engine.airWeight = 1.01;
    engine.groundWeight = -0.01;
    EXPECT_EQ(getProfilAirTransitionStatus(), 100.0);
    EXPECT_EQ(getProfilGrdTransitionStatus(), 0.0);
    engine.airWeight = 1.0;
    engine.groundWeight = 0.0;
    engine.transitionProgress = 1.0;
}

TEST(Pacing, TimerPrecisionIsStoredAsGiven) {
    auto& timer = MotionEngine::instance().cycleTimer;
    EXPECT_EQ(timer.precisePacing.load(), 1);
    setTimerPrecision(0);
    EXPECT_EQ(timer.precisePacing.load(), 0);
    setTimerPrecision(5);
    EXPECT_EQ(timer.precisePacing.load(), 5);
    setTimerPrecision(1);
}
