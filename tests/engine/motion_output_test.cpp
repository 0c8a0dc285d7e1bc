#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/motion_output.h"

using namespace tarvelin;

namespace {

float floatAt(const RigFrame& frame, std::size_t offset) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(frame[offset + i]) << (8 * i);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t bigEndianAt(const RigFrame& frame, std::size_t offset) {
    return (std::uint32_t{frame[offset]} << 24) | (std::uint32_t{frame[offset + 1]} << 16) |
           (std::uint32_t{frame[offset + 2]} << 8) | frame[offset + 3];
}

struct Limits {
    std::array<DofLimit, rigSlotCount> table{};
    Limits(double low, double high) {
        for (auto& limit : table) limit.set(low, high);
    }
};

}  // namespace

TEST(RigFrame, CarriesTheSixAxesAsClampedFloatsBetweenLeadAndTrailer) {
    CueArray cues{};
    const double axes[] = {0.5, -0.2, 0.1, 0.0, 0.3, -0.4};
    for (int i = 0; i < 6; ++i) cues[i] = axes[i];
    const RigFrame frame = buildRigFrame(cues, Limits(-1.0, 1.0).table);
    EXPECT_EQ(frame[0], 0xFC);
    EXPECT_EQ(frame[1], 0xFC);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(floatAt(frame, 2 + 4 * i), static_cast<float>(axes[i])) << "axis " << i;
    EXPECT_EQ(frame[34], 0x0A);
    EXPECT_EQ(frame[35], 0x0D);

    cues[2] = 2.0;
    cues[3] = -7.0;
    const RigFrame clamped = buildRigFrame(cues, Limits(-1.0, 1.0).table);
    EXPECT_EQ(floatAt(clamped, 10), 1.0f);
    EXPECT_EQ(floatAt(clamped, 14), -1.0f);

    const RigFrame unset = buildRigFrame(cues, Limits(0.0, 0.0).table);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(floatAt(unset, 2 + 4 * i), 0.0f) << "default limits hold every axis at 0";
}

TEST(RigFrame, BeltAndWindAreBigEndianIntegersHeldToTheirRange) {
    EXPECT_EQ(frameInteger(300.7), 300u);
    EXPECT_EQ(frameInteger(-5.0), 0u);
    EXPECT_EQ(frameInteger(5e9), 0xFFFFFFFFu);
    EXPECT_EQ(frameInteger(4294967295.0), 0xFFFFFFFFu);
    CueArray cues{};
    cues[10] = 300.7;
    cues[21] = 65.0;
    const RigFrame frame = buildRigFrame(cues, Limits(-1.0, 1.0).table);
    EXPECT_EQ(frame[26], 0x00);
    EXPECT_EQ(frame[27], 0x00);
    EXPECT_EQ(frame[28], 0x01);
    EXPECT_EQ(frame[29], 0x2C);
    EXPECT_EQ(bigEndianAt(frame, 30), 65u);
}

TEST(RigFrame, NonFiniteCuesLeaveAsZeroWithinTheLimits) {
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), 1e300};
    for (double value : bad) {
        CueArray cues{};
        cues.fill(value);
        const RigFrame frame = buildRigFrame(cues, Limits(0.25, 1.0).table);
        for (int i = 0; i < 6; ++i) {
            const float sent = floatAt(frame, 2 + 4 * i);
            EXPECT_TRUE(std::isfinite(sent));
            EXPECT_GE(sent, 0.25f);
            EXPECT_LE(sent, 1.0f);
        }
        EXPECT_EQ(bigEndianAt(frame, 26), value == 1e300 ? 0xFFFFFFFFu : 0u);
        EXPECT_EQ(fanByte(value), value == 1e300 ? 255 : 0);
    }
}

TEST(FanByte, ScalesPercentToAByte) {
    EXPECT_EQ(fanByte(50.0), 127);
    EXPECT_EQ(fanByte(100.0), 255);
    EXPECT_EQ(fanByte(250.0), 255);
    EXPECT_EQ(fanByte(-3.0), 0);
    EXPECT_EQ(fanByte(0.0), 0);
}

TEST(RigPose, LowPassesTheGainedCuesAndNeverGoesNonFinite) {
    CueArray cues{};
    cues.fill(1.0);
    RigPose output{};
    stepRigPose(output, gainedPose(cues, 1.0), 60.0);
    EXPECT_DOUBLE_EQ(output[0], 1.0 / 60.0);
    for (int cycle = 0; cycle < 2000; ++cycle) stepRigPose(output, gainedPose(cues, 1.0), 60.0);
    EXPECT_NEAR(output[5], 1.0, 1e-9);

    stepRigPose(output, gainedPose(cues, 2.0), 1.0);
    EXPECT_EQ(output[3], 2.0) << "a filter of 1 passes the gained cue through";

    stepRigPose(output, gainedPose(cues, 1.0), 0.0);
    for (double value : output) EXPECT_TRUE(std::isfinite(value));
    stepRigPose(output, gainedPose(cues, std::numeric_limits<double>::infinity()), 60.0);
    for (double value : output) EXPECT_TRUE(std::isfinite(value));
}
