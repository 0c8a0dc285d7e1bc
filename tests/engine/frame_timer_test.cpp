#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/frame_timer.h"
#include "platform/clock.h"

using tarvelin::FrameTimer;

namespace {

// Moves a timer's start back, as if `micros` had passed since its last restart.
void pretendElapsed(FrameTimer& timer, double micros) {
    timer.startStamp = tarvelin::platform::performanceCounter() - static_cast<std::int64_t>(micros * timer.ticksPerUs);
}

}  // namespace

TEST(FrameTimer, TickRatesComeFromTheCounterFrequency) {
    FrameTimer timer;
    const auto frequency = static_cast<double>(tarvelin::platform::performanceFrequency());
    EXPECT_EQ(timer.ticksPerMs, frequency / 1000.0);
    EXPECT_EQ(timer.ticksPerUs, frequency / 1000000.0);
    EXPECT_EQ(timer.window, 200);
    EXPECT_EQ(timer.precisePacing.load(), 1);
}

TEST(FrameTimer, RestartMeasuresTheIntervalAndMovesTheMeanByAWindowShare) {
    FrameTimer timer;
    timer.restart();
    timer.restart();  // a restart right after another: an interval of a few ticks
    const double first = timer.lastInterval.load();
    EXPECT_GE(first, 0.0);
    EXPECT_LT(first / timer.ticksPerMs, 50.0);

    timer.meanInterval = 0.0;
    pretendElapsed(timer, 4000.0);
    timer.restart();
    const double interval = timer.lastInterval.load();
    EXPECT_GE(interval / timer.ticksPerUs, 4000.0);
    EXPECT_DOUBLE_EQ(timer.meanInterval, interval / 200.0);
    EXPECT_DOUBLE_EQ(timer.lastIntervalMs(), interval / timer.ticksPerMs);
}

TEST(FrameTimer, WaitReturnsAtOnceWhenThePeriodIsOver) {
    FrameTimer timer;
    pretendElapsed(timer, 2500.0);
    timer.waitNextPeriod();
    EXPECT_GE(timer.lastCycleUs.load(), 2500.0);
    // The next period starts at the restart inside the wait, not at the old start.
    EXPECT_LT(static_cast<double>(tarvelin::platform::performanceCounter() - timer.startStamp) / timer.ticksPerUs, 2000.0);
}

TEST(FrameTimer, WaitHoldsThePeriodFromEarlyInIt) {
    FrameTimer timer;
    pretendElapsed(timer, 300.0);
    const auto before = tarvelin::platform::performanceCounter();
    timer.waitNextPeriod();
    const auto waited = static_cast<double>(tarvelin::platform::performanceCounter() - before) / timer.ticksPerUs;
    EXPECT_GT(timer.lastCycleUs.load(), 2000.0);
    EXPECT_GE(waited, 1700.0 - 1.0);  // the 1 ms sleep, then the spin to the end of the period
}

TEST(FrameTimer, TheFirstIntervalMeasuresFromConstruction) {
    FrameTimer timer;
    EXPECT_EQ(timer.lastIntervalMs(), 0.0);
    timer.restart();
    EXPECT_LT(timer.lastIntervalMs(), 50.0);
    EXPECT_LT(timer.meanInterval, 50.0 * timer.ticksPerMs / 200.0);
}
