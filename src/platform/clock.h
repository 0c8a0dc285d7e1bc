#pragma once
// The high-resolution monotonic counter used for all timing: what each platform must provide.
// Windows: QueryPerformanceCounter/QueryPerformanceFrequency. POSIX: CLOCK_MONOTONIC in
// nanoseconds, so the frequency is 10^9.

#include <cstdint>

namespace tarvelin::platform {

std::int64_t performanceCounter();
std::int64_t performanceFrequency();

}  // namespace tarvelin::platform

#include <ctime>

namespace tarvelin::platform {

// The local calendar time of `time` (localtime_r / localtime_s: thread-safe on both).
std::tm localTime(std::time_t time);

}  // namespace tarvelin::platform
