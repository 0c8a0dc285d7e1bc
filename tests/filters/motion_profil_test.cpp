// A profile slot turns its telemetry channel into a motion value: activity, input limits and
// the slot's chain, and the guard against non-finite telemetry.

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "filter_test_support.h"
#include "filters/motion_profil.h"

using tarvelin::DofMapping;
using tarvelin::MotionProfil;

namespace {

class MotionProfilTest : public ::testing::Test {
protected:
    void install(int slot, const char* text) {
        profile.chains[static_cast<std::size_t>(slot)].exchange(filter_test::chainOf(text));
    }

    MotionProfil::Channels channels{};
    MotionProfil::InputLimits limits{};
    MotionProfil profile{"Profil AIR", channels, limits};
};

constexpr DofMapping yawLimited{3, 14, true};
constexpr DofMapping rollAngle{8, 16, false};

}  // namespace

TEST_F(MotionProfilTest, NewProfileYieldsZeroEverywhere) {
    EXPECT_EQ(profile.name, "Profil AIR");
    for (auto& value : channels) value = 7.0;
    for (int slot = 0; slot < 23; ++slot) {
        EXPECT_TRUE(profile.activeDof[slot].load());
        const auto chain = profile.chains[slot].load();
        EXPECT_FALSE(chain->valid.load());
        EXPECT_EQ(chain->type, tarvelin::FilterType::Value);
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

    // Limits still (0, 0): the limited slot is fed 0.0.
    EXPECT_EQ(profile.getActivedof(yawLimited, 2.0), 0.0);
    limits[3].set(-4.0, 4.0);
    EXPECT_EQ(profile.getActivedof(yawLimited, 2.0), 8.0);
    channels[14] = -9.0;
    EXPECT_EQ(profile.getActivedof(yawLimited, 0.5), -2.0);
    // With low above high, inputs below low are fed as low and all others as high.
    limits[3].set(3.0, -3.0);
    EXPECT_EQ(profile.getActivedof(yawLimited, 1.0), 3.0);
    channels[14] = 10.0;
    EXPECT_EQ(profile.getActivedof(yawLimited, 1.0), -3.0);

    // Without limits the channel goes through as it is.
    EXPECT_EQ(profile.getActivedof(rollAngle, 1.0), 60.0);
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
    channels[16] = 8.0;
    channels[14] = 8.0;
    EXPECT_EQ(profile.getActivedof(rollAngle, 1.0), 4.0);
    EXPECT_EQ(profile.getActivedof(yawLimited, 1.0), 4.0);
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        channels[16] = bad;
        channels[14] = bad;
        EXPECT_TRUE(std::isfinite(profile.getActivedof(rollAngle, 1.0)));
        EXPECT_TRUE(std::isfinite(profile.getActivedof(yawLimited, 1.0)));
    }
    // Three zero inputs halved the state each time; finite telemetry takes over again.
    channels[16] = 8.0;
    EXPECT_EQ(profile.getActivedof(rollAngle, 1.0), 4.25);

    // Limits that are not numbers do not poison it either.
    limits[3].set(std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN());
    channels[14] = 8.0;
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
    EXPECT_THROW(profile.getActivedof({0, 43, false}, 1.0), std::out_of_range);
}
