// The exports that configure the engine's profiles, seen from the host: what they install,
// what they refuse, and how they freeze the cues and hold the output.

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <tuple>
#include <utility>

#include "engine/motion_engine.h"
#include "tarvelin/motion.h"

using tarvelin::MotionEngine;

namespace {

constexpr tarvelin::DofMapping yawSlot{3, 14, false};

// Gives the cues a recognisable state and lets the soft start look finished, then checks
// that the export froze exactly that state.
class FreezeCheck {
public:
    explicit FreezeCheck(double base) : engine_(MotionEngine::instance()), base_(base) {
        std::lock_guard<std::mutex> lock(engine_.cueMutex);
        for (int slot = 0; slot < 23; ++slot) engine_.gameData().cueValues[slot] = base + slot;
        engine_.transitionProgress.store(1.0);
    }
    ~FreezeCheck() {
        EXPECT_EQ(engine_.transitionProgress.load(), 0.0);
        for (int slot = 0; slot < 23; ++slot) EXPECT_EQ(engine_.gameData().frozenCues[slot], base_ + slot);
    }

private:
    MotionEngine& engine_;
    double base_;
};

}  // namespace

TEST(ProfileExports, ValidStringIsInstalledFreezesAndReleasesTheHold) {
    auto& engine = MotionEngine::instance();
    EXPECT_EQ(engine.profilTransition.name, "Transition");
    engine.gameData().channels[14] = 2.5;
    {
        FreezeCheck check(10.0);
        ASSERT_EQ(setcheckFilterstring(0, 3, "VALUE"), 1);
    }
    EXPECT_FALSE(engine.outputHeld.load());
    EXPECT_EQ(engine.profilAir.getActivedof(yawSlot, 2.0), 5.0);
    ASSERT_EQ(setcheckFilterstring(1, 3, "gain(VALUE;3)"), 1);
    EXPECT_EQ(engine.profilGround.getActivedof(yawSlot, 1.0), 7.5);
    EXPECT_EQ(engine.profilAir.getActivedof(yawSlot, 1.0), 2.5);
    EXPECT_FALSE(engine.profilTransition.chains[3].load()->valid.load());
}

TEST(ProfileExports, RefusedStringKeepsTheChainAndTheHold) {
    auto& engine = MotionEngine::instance();
    ASSERT_EQ(setcheckFilterstring(0, 3, "ADD(VALUE;1)"), 1);
    const auto installed = engine.profilAir.chains[3].load();
    // A megabyte of nesting is refused as a whole, and explained as too long.
    std::string megabyte;
    for (int i = 0; i < 200000; ++i) megabyte += "ABS(";
    megabyte += "VALUE" + std::string(200000, ')');
    int fault = -1;
    int position = -1;
    EXPECT_EQ(explainFilterstring(megabyte.c_str(), &fault, &position, nullptr, 0), 0);
    EXPECT_EQ(fault, TARVELIN_FILTER_TOO_LONG);
    EXPECT_EQ(position, TARVELIN_FILTER_STRING_MAX);
    for (auto [profile, slot, text] :
         {std::tuple{0, 3, "ADD(VALUE;"}, std::tuple{2, 3, "VALUE"}, std::tuple{-1, 3, "VALUE"},
          std::tuple{0, 23, "VALUE"}, std::tuple{0, -1, "VALUE"}, std::tuple{0, 3, static_cast<const char*>(nullptr)},
          std::tuple{0, 3, megabyte.c_str()}}) {
        FreezeCheck check(100.0);
        EXPECT_EQ(setcheckFilterstring(profile, slot, text), 0) << profile << " " << slot;
        EXPECT_TRUE(engine.outputHeld.load());
        EXPECT_EQ(engine.profilAir.chains[3].load(), installed);
    }
    ASSERT_EQ(setcheckFilterstring(0, 4, "VALUE"), 1);
    EXPECT_FALSE(engine.outputHeld.load());
}

TEST(ProfileExports, ActiveAxisSwitchesTheSlotAndAlwaysFreezes) {
    auto& engine = MotionEngine::instance();
    engine.gameData().channels[14] = 4.0;
    ASSERT_EQ(setcheckFilterstring(1, 3, "VALUE"), 1);
    {
        FreezeCheck check(1.0);
        setActiveAxis(1, 3, false);
    }
    EXPECT_EQ(getTransitionStatus(), 0.0);
    EXPECT_EQ(engine.profilGround.getActivedof(yawSlot, 1.0), 0.0);
    EXPECT_TRUE(engine.profilAir.activeDof[3].load());
    setActiveAxis(1, 3, true);
    EXPECT_EQ(engine.profilGround.getActivedof(yawSlot, 1.0), 4.0);

    for (auto [profile, slot] : {std::pair{2, 3}, std::pair{0, 23}, std::pair{0, -1}}) {
        FreezeCheck check(50.0);
        setActiveAxis(profile, slot, false);
    }
    for (int slot = 0; slot < 23; ++slot) EXPECT_TRUE(engine.profilAir.activeDof[slot].load());
}

TEST(ProfileExports, BeltMixStoresInRangeWeightsOnly) {
    auto& engine = MotionEngine::instance();
    setBelt_Mix(0, 1, 0.25);
    setBelt_Mix(1, 42, -2.0);
    setBelt_Mix(0, 43, 9.0);
    setBelt_Mix(0, -1, 9.0);
    setBelt_Mix(2, 1, 9.0);
    EXPECT_EQ(engine.profilAir.beltMix[1].load(), 0.25);
    EXPECT_EQ(engine.profilGround.beltMix[42].load(), -2.0);
    EXPECT_EQ(engine.profilGround.beltMix[1].load(), 0.0);
}
