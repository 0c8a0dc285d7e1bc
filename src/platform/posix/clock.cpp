#include "platform/clock.h"

#include <time.h>

namespace tarvelin::platform {

std::int64_t performanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::int64_t performanceFrequency() { return 1000000000; }

}  // namespace tarvelin::platform

namespace tarvelin::platform {

std::tm localTime(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

}  // namespace tarvelin::platform
