#include "core/frame_timer.h"

#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace tarvelin {

FrameTimer::FrameTimer() {
    const auto frequency = static_cast<double>(platform::performanceFrequency());
    ticksPerMs = frequency / 1000.0;
    ticksPerUs = frequency / 1000000.0;
    // The first interval measures from construction. (Starting from a zero stamp would make the
    // first restart report the machine's uptime as a frame interval.)
    startStamp = platform::performanceCounter();
    currentStamp = startStamp;
}

void FrameTimer::restart() {
    currentStamp = platform::performanceCounter();
    const auto interval = static_cast<double>(currentStamp - startStamp);
    lastInterval.store(interval, std::memory_order_relaxed);
    meanInterval += (interval - meanInterval) / window;
    startStamp = platform::performanceCounter();
}

double FrameTimer::elapsedUs() {
    currentStamp = platform::performanceCounter();
    return static_cast<double>(currentStamp - startStamp) / ticksPerUs;
}

void FrameTimer::waitNextPeriod() {
    double elapsed = elapsedUs();
    if (elapsed > 0.0 && elapsed < 1000.0) {
        std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::nanoseconds(1000000));
    }
    while (elapsed <= periodUs) {
        elapsed = elapsedUs();
    }
    restart();
    lastCycleUs.store(elapsed, std::memory_order_relaxed);
}

}  // namespace tarvelin
