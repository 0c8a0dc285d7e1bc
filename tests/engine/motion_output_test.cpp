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

RigFrame frameOf(const CueArray& cues, const Limits& limits, const RigAxes& held = {}) {
    return buildRigFrame(limitedAxes(cues, limits.table, held), cues[10], cues[21]);
}

}  // namespace

// The frame's layout and the clamping to the rig's limits are held against a model of their own
// on every frame the end-to-end tests see; limits a host never set are not among them.
TEST(RigFrame, UnsetRigLimitsHoldEveryAxisAtZero) {
    CueArray cues{};
    for (int i = 0; i < 6; ++i) cues[i] = 0.5 - 0.25 * i;
    const RigFrame frame = frameOf(cues, Limits(0.0, 0.0));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(floatAt(frame, 2 + 4 * i), 0.0f) << "axis " << i;
}

// A cue that is not finite holds its axis where the last frame put it (within the limits), and
// a huge one is a large value like any other.
TEST(RigFrame, NonFiniteCuesHoldTheirAxisWithinTheLimits) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const struct {
        double cue;
        float held;
        float sent;
        std::uint32_t belt;
        std::uint8_t fan;
    } cases[] = {
        {nan, 0.9f, 0.9f, 0u, 0},       {inf, 0.5f, 0.5f, 0u, 0},          {-inf, 0.3f, 0.3f, 0u, 0},
        {nan, 0.1f, 0.25f, 0u, 0},      {1e300, 0.5f, 1.0f, 0xFFFFFFFFu, 255}, {-1e300, 0.5f, 0.25f, 0u, 0},
    };
    for (const auto& c : cases) {
        CueArray cues{};
        cues.fill(c.cue);
        RigAxes held{};
        held.fill(c.held);
        const RigFrame frame = frameOf(cues, Limits(0.25, 1.0), held);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(floatAt(frame, 2 + 4 * i), c.sent) << c.cue << " held at " << c.held;
        EXPECT_EQ(bigEndianAt(frame, 26), c.belt) << c.cue;
        EXPECT_EQ(fanByte(c.cue), c.fan) << c.cue;
    }
}

TEST(RigFrame, RateLimitsMoveEachAxisAtMostItsStepTowardTheWantedValue) {
    const struct {
        float previous;
        float wanted;
        double step;
        float sent;
    } cases[] = {
        {0.0f, 0.9f, 0.0, 0.9f},             // no limit
        {0.0f, 0.9f, 0.01, 0.01f},           // held back
        {0.5f, -1.0f, 0.004, 0.496f},        // either way
        {0.5f, 0.503f, 0.004, 0.503f},       // within the step: as wanted
        {-0.3f, -0.3f, 0.004, -0.3f},
        {0.1f, 0.7f, 1.0 / 3.0, 0.1f + 1.0f / 3.0f},
    };
    for (const auto& c : cases) {
        RigAxes previous{};
        RigAxes wanted{};
        std::array<double, rigAxisCount> steps{};
        previous.fill(c.previous);
        wanted.fill(c.wanted);
        steps.fill(c.step);
        const RigAxes sent = rateLimitedAxes(wanted, previous, steps);
        for (int i = 0; i < rigAxisCount; ++i) {
            EXPECT_NEAR(sent[i], c.sent, 1e-6) << c.previous << " -> " << c.wanted;
            if (c.step > 0.0) {
                EXPECT_LE(std::abs(static_cast<double>(sent[i]) - c.previous), c.step) << "beyond the step";
            }
        }
    }
    // Only the limited axis is held back.
    RigAxes wanted{};
    wanted.fill(0.5f);
    const RigAxes sent = rateLimitedAxes(wanted, RigAxes{}, {0.0, 0.0, 0.1, 0.0, 0.0, 0.0});
    for (int i = 0; i < rigAxisCount; ++i) EXPECT_NEAR(sent[i], i == 2 ? 0.1 : 0.5, 1e-6) << "axis " << i;
}

TEST(RigPose, LowPassesTheGainedCuesAndHoldsWhatWouldNotBeFinite) {
    CueArray cues{};
    cues.fill(1.0);
    const RigPose none{};
    RigPose output{};
    stepRigPose(output, gainedPose(cues, 1.0, none), 60.0);
    EXPECT_DOUBLE_EQ(output[0], 1.0 / 60.0);
    for (int cycle = 0; cycle < 2000; ++cycle) stepRigPose(output, gainedPose(cues, 1.0, none), 60.0);
    EXPECT_NEAR(output[5], 1.0, 1e-9);

    stepRigPose(output, gainedPose(cues, 2.0, none), 1.0);
    EXPECT_EQ(output[3], 2.0) << "a filter of 1 passes the gained cue through";

    stepRigPose(output, gainedPose(cues, 1.0, none), 0.0);
    EXPECT_EQ(output[3], 2.0) << "a step that is not finite leaves the pose as it was";
    RigPose held{};
    held.fill(0.75);
    const RigPose raw = gainedPose(cues, std::numeric_limits<double>::infinity(), held);
    for (double value : raw) EXPECT_EQ(value, 0.75);
    cues.fill(std::numeric_limits<double>::max());
    stepRigPose(output, gainedPose(cues, 2.0, held), 60.0);
    for (double value : output) EXPECT_TRUE(std::isfinite(value));
}
