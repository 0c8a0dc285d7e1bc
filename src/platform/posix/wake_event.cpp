#include "platform/wake_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <thread>

namespace tarvelin::platform {

WakeEvent::WakeEvent() : descriptor_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

void WakeEvent::signal() {
    if (descriptor_ < 0) return;
    // Adds 1 to the counter. The write fails only when the counter is about to overflow, after
    // some 2^64 signals nobody waited for; the event is signalled then all the same.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(descriptor_, &one, sizeof one);
}

bool WakeEvent::wait(std::chrono::microseconds timeout) {
    if (timeout.count() < 0) timeout = std::chrono::microseconds(0);
    if (descriptor_ < 0) {
        std::this_thread::sleep_for(timeout);
        return false;
    }
    // ppoll, unlike poll, takes its time-out in nanoseconds: a 2 ms loop needs finer than 1 ms.
    pollfd readable{descriptor_, POLLIN, 0};
    timespec limit{};
    limit.tv_sec = static_cast<time_t>(timeout.count() / 1000000);
    limit.tv_nsec = static_cast<long>(timeout.count() % 1000000) * 1000;
    int ready = 0;
    do {
        ready = ::ppoll(&readable, 1, &limit, nullptr);
        // A signal handler of the host's interrupted the wait; waiting the whole time-out again
        // is harmless for the short waits of the loops.
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;
    // Reading takes the counter back to 0: every signal so far is answered by this wake-up.
    std::uint64_t count = 0;
    return ::read(descriptor_, &count, sizeof count) == static_cast<ssize_t>(sizeof count);
}

}  // namespace tarvelin::platform
