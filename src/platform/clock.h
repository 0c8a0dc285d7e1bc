#pragma once
// The high-resolution monotonic counter used for all timing: what each platform must provide.
// Windows: QueryPerformanceCounter/QueryPerformanceFrequency. POSIX: CLOCK_MONOTONIC in
// nanoseconds, so the frequency is 10^9.

#include <chrono>
#include <cstdint>

namespace tarvelin::platform {

std::int64_t performanceCounter();
std::int64_t performanceFrequency();

// Sleeps for about `duration`: POSIX to the microsecond, never less; Windows in whole
// milliseconds of its timer, rounded up (and a tick may come a little early). A loop that waits
// for a moment re-reads the counter and sleeps again, never spins.
void sleepFor(std::chrono::microseconds duration);

}  // namespace tarvelin::platform

#include <ctime>

namespace tarvelin::platform {

// The local calendar time of `time` (localtime_r / localtime_s: thread-safe on both).
std::tm localTime(std::time_t time);

}  // namespace tarvelin::platform
