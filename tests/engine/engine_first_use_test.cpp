#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tarvelin/motion.h"

// Several host threads make the very first call of the process at the same moment: all must
// see one engine, fully built.
TEST(EngineFirstUse, ConcurrentFirstCallsBuildOneEngine) {
    constexpr int threadCount = 8;
    std::atomic<int> ready{0};
    std::vector<double*> channels(threadCount, nullptr);
    std::vector<int> counts(threadCount, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back([&, i] {
            ready.fetch_add(1);
            while (ready.load() < threadCount) {
            }
            getGameData(&channels[i], &counts[i]);
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < threadCount; ++i) {
        EXPECT_EQ(channels[i], channels[0]);
        EXPECT_EQ(counts[i], 43);
        EXPECT_EQ(channels[i][0], 0.0);
    }
}
