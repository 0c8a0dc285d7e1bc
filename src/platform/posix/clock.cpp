#include "platform/clock.h"

#include <time.h>

#include <cerrno>

namespace tarvelin::platform {

std::int64_t performanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::int64_t performanceFrequency() { return 1000000000; }

void sleepFor(std::chrono::microseconds duration) {
    if (duration.count() <= 0) return;
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    const std::int64_t end = static_cast<std::int64_t>(until.tv_nsec) + duration.count() * 1000;
    until.tv_sec += static_cast<time_t>(end / 1000000000);
    until.tv_nsec = static_cast<long>(end % 1000000000);
    // An absolute deadline: a signal that interrupts the sleep does not cut it short.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace tarvelin::platform

namespace tarvelin::platform {

std::tm localTime(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

}  // namespace tarvelin::platform
