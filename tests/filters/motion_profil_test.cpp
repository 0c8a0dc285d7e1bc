// A profile slot turns its telemetry channel into a motion value: activity, input limits and
// the slot's chain, and the guard against non-finite telemetry.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "filter_test_support.h"
#include "filters/motion_profil.h"

using tarvelin::DofMapping;

namespace {

class MotionProfilTest : public ::testing::Test {
protected:
    void install(int slot, const char* text) { profile.chains[slot].exchange(filter_test::chainOf(text)); }

    tarvelin::MotionProfil::Channels channels{};
    tarvelin::MotionProfil::InputLimits limits{};
    tarvelin::MotionProfil profile{"Profil AIR", channels, limits};
};

constexpr DofMapping yawLimited{3, 14, true};
constexpr DofMapping rollAngle{8, 16, false};
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

}  // namespace

TEST_F(MotionProfilTest, NewProfileYieldsZeroEverywhere) {
    for (auto& value : channels) value = 7.0;
    for (int slot = 0; slot < 23; ++slot) {
        EXPECT_TRUE(profile.activeDof[slot].load());
        EXPECT_FALSE(profile.chains[slot].load()->valid.load());
        EXPECT_EQ(profile.getActivedof({slot, 28, false}, 1.0), 0.0);
        EXPECT_EQ(profile.getActivedof({slot, 28, true}, 1.0), 0.0);
    }
    for (const auto& weight : profile.beltMix) EXPECT_EQ(weight.load(), 0.0);
}

TEST_F(MotionProfilTest, SlotPassesItsChannelThroughLimitsAndChainTimesScale) {
    install(3, "VALUE");
    install(8, "GAIN(VALUE;2)");
    channels[14] = 5.0;
    channels[16] = 30.0;
    EXPECT_EQ(profile.getActivedof(yawLimited, 2.0), 0.0);  // limits still (0, 0)
    limits[3].set(-4.0, 4.0);
    EXPECT_EQ(profile.getActivedof(yawLimited, 2.0), 8.0);
    channels[14] = -9.0;
    EXPECT_EQ(profile.getActivedof(yawLimited, 0.5), -2.0);
    // With low above high, inputs below low are fed as low and all others as high.
    limits[3].set(3.0, -3.0);
    EXPECT_EQ(profile.getActivedof(yawLimited, 1.0), 3.0);
    channels[14] = 10.0;
    EXPECT_EQ(profile.getActivedof(yawLimited, 1.0), -3.0);
    EXPECT_EQ(profile.getActivedof(rollAngle, 1.0), 60.0);  // no limits
}

TEST_F(MotionProfilTest, InactiveSlotYieldsZeroAndKeepsItsState) {
    install(8, "EMALP(VALUE;2)");
    channels[16] = 8.0;
    EXPECT_EQ(profile.getActivedof(rollAngle, 1.0), 4.0);
    profile.activeDof[8].store(false);
    for (int cycle = 0; cycle < 5; ++cycle) EXPECT_EQ(profile.getActivedof(rollAngle, 1.0), 0.0);
    profile.activeDof[8].store(true);
    EXPECT_EQ(profile.getActivedof(rollAngle, 1.0), 6.0);
}

TEST_F(MotionProfilTest, NonFiniteTelemetryEntersAsZeroAndDoesNotPoisonTheState) {
    install(8, "EMALP(VALUE;2)");
    install(3, "EMALP(VALUE;2)");
    limits[3].set(-100.0, 100.0);
    for (double input : {8.0, notANumber, infinity, -infinity}) {
        channels[16] = channels[14] = input;
        EXPECT_TRUE(std::isfinite(profile.getActivedof(rollAngle, 1.0)));
        EXPECT_TRUE(std::isfinite(profile.getActivedof(yawLimited, 1.0)));
    }
    channels[16] = 8.0;  // the state halved three times from 4.0 on inputs of 0.0
    EXPECT_EQ(profile.getActivedof(rollAngle, 1.0), 4.25);

    limits[3].set(notANumber, notANumber);
    EXPECT_TRUE(std::isfinite(profile.getActivedof(yawLimited, 1.0)));
}

TEST_F(MotionProfilTest, SlotOutsideTheProfileThrows) {
    try {
        profile.getActivedof({23, 0, false}, 1.0);
        FAIL() << "no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "Index out of range in getActivedof");
    }
    EXPECT_THROW(profile.getActivedof({-1, 0, false}, 1.0), std::out_of_range);
}
