// A host thread keeps replacing a slot's chain and freezing the cues while another thread
// evaluates that slot and steps the cues the way the engine cycle does. Every evaluation must
// see one whole chain, and the run must be clean under the thread and address sanitizers.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "engine/motion_engine.h"
#include "tarvelin/motion.h"

using tarvelin::MotionEngine;

TEST(ChainExchange, EvaluationSeesWholeChainsWhileTheHostReplacesThem) {
    auto& engine = MotionEngine::instance();
    engine.gameData().channels[17] = 3.0;
    // Both chains give a constant, so that a mixture of the two would show; the longer one
    // also carries state and noise, which the replaced chain must release.
    const char* chains[] = {"SETVALUE(EMALP(NOISE(VALUE;1;10;3);5);1)",
                            "ADD(GAIN(SETVALUE(CROP(VALUE;-1;1);0);0);2)"};
    ASSERT_EQ(setcheckFilterstring(0, 4, chains[0]), 1);

    constexpr tarvelin::DofMapping rollSlot{4, 17, false};
    std::atomic<bool> stop{false};
    std::atomic<long> evaluations{0};
    std::atomic<long> unexpected{0};
    std::thread cycle([&] {
        while (!stop.load(std::memory_order_relaxed)) {
            const double value = engine.profilAir.getActivedof(rollSlot, 1.0);
            if (value != 1.0 && value != 2.0) unexpected.fetch_add(1);
            // The cue steps of a cycle, under the lock that host freezes take.
            std::lock_guard<std::mutex> lock(engine.cueMutex);
            auto& record = engine.gameData();
            for (int slot = 0; slot < 23; ++slot) record.cueValues[slot] = value + slot;
            const double progress = engine.transitionProgress.load();
            for (int slot = 0; slot < 23; ++slot) {
                record.cueValues[slot] = (record.cueValues[slot] - record.frozenCues[slot]) * progress +
                                         record.frozenCues[slot];
            }
            engine.transitionProgress.store(progress < 1.0 ? progress + 0.01 : 1.0);
            evaluations.fetch_add(1, std::memory_order_relaxed);
        }
    });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    int replacements = 0;
    while (std::chrono::steady_clock::now() < deadline || replacements < 2000) {
        ASSERT_EQ(setcheckFilterstring(0, 4, chains[replacements % 2]), 1);
        EXPECT_EQ(setcheckFilterstring(0, 4, "SETVALUE(VALUE;"), 0);
        setActiveAxis(1, 4, true);
        ++replacements;
    }
    stop.store(true);
    cycle.join();

    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_GT(evaluations.load(), 0);
    EXPECT_EQ(setcheckFilterstring(0, 4, "VALUE"), 1);
}
