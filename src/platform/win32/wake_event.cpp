#include "platform/wake_event.h"

#include <windows.h>

#include <thread>

namespace tarvelin::platform {

// Auto-reset: a wait that returns takes the event back to unsignalled, so that signals before it
// wake this wait once.
WakeEvent::WakeEvent() : handle_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

WakeEvent::~WakeEvent() {
    if (handle_ != nullptr) CloseHandle(handle_);
}

void WakeEvent::signal() {
    if (handle_ != nullptr) SetEvent(handle_);
}

bool WakeEvent::wait(std::chrono::microseconds timeout) {
    if (timeout.count() < 0) timeout = std::chrono::microseconds(0);
    if (handle_ == nullptr) {
        std::this_thread::sleep_for(timeout);
        return false;
    }
    // Rounded up: a wait cut short would make a paced loop run its pass early.
    const auto milliseconds = static_cast<DWORD>((timeout.count() + 999) / 1000);
    return WaitForSingleObject(handle_, milliseconds) == WAIT_OBJECT_0;
}

}  // namespace tarvelin::platform
