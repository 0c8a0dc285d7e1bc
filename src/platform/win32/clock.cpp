#include "platform/clock.h"

#include <windows.h>

namespace tarvelin::platform {

std::int64_t performanceCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::int64_t performanceFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

void sleepFor(std::chrono::microseconds duration) {
    if (duration.count() <= 0) return;
    // Sleep counts whole milliseconds and wakes on the timer's tick (1 ms once the engine's
    // threads have asked for it), so the duration is rounded up to whole milliseconds.
    Sleep(static_cast<DWORD>((duration.count() + 999) / 1000));
}

std::tm localTime(std::time_t time) {
    std::tm local{};
    localtime_s(&local, &time);
    return local;
}

}  // namespace tarvelin::platform
