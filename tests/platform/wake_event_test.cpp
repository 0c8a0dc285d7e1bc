#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/wake_event.h"

using tarvelin::platform::WakeEvent;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(WakeEvent, SignalsBeforeAWaitWakeItOnceAndAWaitWithoutOneTimesOut) {
    WakeEvent event;
    event.signal();
    event.signal();
    EXPECT_TRUE(event.wait(0us)) << "a signal given before the wait";
    const auto begin = Clock::now();
    EXPECT_FALSE(event.wait(3000us)) << "two signals woke two waits";
    EXPECT_GE(Clock::now() - begin, 3000us) << "the time-out ended early";
}

TEST(WakeEvent, ASignalFromAnotherThreadEndsTheWait) {
    WakeEvent event;
    const auto begin = Clock::now();
    std::thread signaller([&event] {
        std::this_thread::sleep_for(20ms);
        event.signal();
    });
    EXPECT_TRUE(event.wait(10s));
    EXPECT_LT(Clock::now() - begin, 5s);
    signaller.join();
}
