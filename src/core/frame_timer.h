#pragma once
// The one timing record of the library: measures the interval between two restarts on the
// performance counter with a running mean, and paces a loop to a fixed 2000 µs period.
//
// A timer belongs to one thread. Host threads only write precisePacing and read the last
// values (through the time-frame exports), without a lock: those two fields are atomics.

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>

namespace tarvelin {

class FrameTimer {
public:
    static constexpr double periodUs = 2000.0;

    // Starts measuring at construction: the first restart reports the time since then.
    FrameTimer();

    // Measures the interval since the previous restart and starts the next one.
    void restart();

    // Busy-wait pacing: returns when 2000 µs have passed since the last restart, then restarts.
    // Sleeps 1 ms first when less than 1000 µs have passed, so the spin stays short.
    void waitNextPeriod();

    // Pacing without a spin, for a loop that has work to do while it waits: calls
    // wait(timeLeft) with the rest of the 2000 µs period until none is left, then restarts as
    // waitNextPeriod does. `wait` may return early; it must not block much beyond its time.
    template <typename Wait>
    void waitNextPeriod(Wait&& wait) {
        double elapsed = elapsedUs();
        while (elapsed <= periodUs) {
            wait(std::chrono::microseconds(static_cast<std::int64_t>(std::ceil(periodUs - elapsed))));
            elapsed = elapsedUs();
        }
        restart();
        lastCycleUs.store(elapsed, std::memory_order_relaxed);
    }

    // The last interval in milliseconds.
    double lastIntervalMs() const { return lastInterval.load(std::memory_order_relaxed) / ticksPerMs; }

    std::int64_t startStamp = 0;
    std::int64_t currentStamp = 0;
    std::int32_t window = 200;
    double carryUs = 0.0;  // drift carry of the sleep-based pacing of the engine cycle
    double meanInterval = 0.0;                 // counter ticks
    std::atomic<double> lastCycleUs{0.0};      // length of the last paced cycle
    std::atomic<double> lastInterval{0.0};     // counter ticks
    double ticksPerMs = 0.0;
    double ticksPerUs = 0.0;
    std::atomic<std::int32_t> precisePacing{1};

private:
    double elapsedUs();
};

}  // namespace tarvelin
