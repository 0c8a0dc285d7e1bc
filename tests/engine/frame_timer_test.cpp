#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "core/cycle_slots.h"
#include "core/frame_timer.h"
#include "platform/clock.h"

using tarvelin::FrameTimer;

namespace {

// Moves a timer's start back, as if `micros` had passed since its last restart.
void pretendElapsed(FrameTimer& timer, double micros) {
    timer.startStamp = tarvelin::platform::performanceCounter() - static_cast<std::int64_t>(micros * timer.ticksPerUs);
}

}  // namespace

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

// The low-latency schedule, run on a virtual clock against games that send in many ways: every
// slot of 2 ms gets exactly one cycle, two cycles are never closer than 1 ms, and a frame waits
// for its cycle at most that millisecond (a flood, whose frames always wait, for a slot).
TEST(CycleSlots, OneCycleASlotHoweverTheFramesFall) {
    using tarvelin::CycleSlots;
    constexpr std::int64_t ms = 1000;  // one tick a microsecond
    struct Game {
        const char* name;
        std::vector<std::int64_t> frames;  // arrival times
        std::int64_t longestWait;          // from a frame's arrival to the cycle that reads it
    };
    auto every = [](std::int64_t first, std::int64_t interval, std::int64_t until) {
        std::vector<std::int64_t> times;
        for (std::int64_t t = first; t < until; t += interval) times.push_back(t);
        return times;
    };
    constexpr std::int64_t run = 10000 * ms;
    const Game games[] = {
        {"silent", {}, 0},
        {"100 frames a second", every(137, 10 * ms, run), 1 * ms},
        {"60 frames a second", every(400, 16667, run), 1 * ms},
        {"333 frames a second", every(50, 3003, run), 1 * ms},
        {"a flood of 10000 a second", every(0, 100, run), 2 * ms},  // frames wait for the next slot
    };
    for (const Game& game : games) {
        SCOPED_TRACE(game.name);
        CycleSlots slots(1.0);
        slots.begin(0);
        std::int64_t lastStart = -2 * ms;
        std::size_t cycles = 0;
        std::size_t nextFrame = 0;  // the first frame not read yet
        std::int64_t longestWait = 0;
        while (slots.slotEnd() <= run) {
            // The cycle starts at the earliest moment when a frame is waiting then, else when the
            // next one arrives within the slot, else at the slot's end.
            std::int64_t start = slots.slotEnd();
            if (nextFrame < game.frames.size() && game.frames[nextFrame] <= start) {
                start = std::max(slots.earliest(), game.frames[nextFrame]);
            }
            slots.started(start);
            EXPECT_GE(start - lastStart, 1 * ms);
            lastStart = start;
            ++cycles;
            for (; nextFrame < game.frames.size() && game.frames[nextFrame] <= start; ++nextFrame) {
                longestWait = std::max(longestWait, start - game.frames[nextFrame]);
            }
        }
        EXPECT_EQ(cycles, 5000u);
        EXPECT_LE(longestWait, game.longestWait);
    }
}

// A cycle that comes far too late (a stalled thread) does not make up for the lost slots with
// a burst of cycles: the schedule starts again from it.
TEST(CycleSlots, AStallStartsTheScheduleAfresh) {
    tarvelin::CycleSlots slots(1.0);
    slots.begin(0);
    slots.started(2000);
    slots.started(50000);  // 46 ms late
    EXPECT_EQ(slots.earliest(), 51000);
    EXPECT_EQ(slots.slotEnd(), 52000);
    slots.started(52500);  // late, but by less than a slot: the grid stays
    EXPECT_EQ(slots.earliest(), 53500);
    EXPECT_EQ(slots.slotEnd(), 54000);
}
