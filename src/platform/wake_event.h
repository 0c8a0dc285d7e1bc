#pragma once
// An event one thread signals to wake another that waits for it with a time-out: what each
// platform must provide. Windows: an auto-reset event (CreateEventW, SetEvent,
// WaitForSingleObject). POSIX: an eventfd, waited on with ppoll.
//
// Signals do not queue: any number of them before a wait wake that one wait. Signalling never
// blocks and never allocates, so a real-time loop may do it every cycle. Any thread may signal;
// one thread at a time waits.

#include <chrono>

namespace tarvelin::platform {

class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    void signal();

    // Waits until the event is signalled or `timeout` has passed: true when it was signalled
    // (and is reset again), false on the time-out. Windows counts the time-out in whole
    // milliseconds, rounded up, so the wait never ends early. Should the system have refused the
    // event, every wait sleeps out its time-out and reports none.
    bool wait(std::chrono::microseconds timeout);

private:
    void* handle_ = nullptr;  // the event (Windows)
    int descriptor_ = -1;     // the eventfd (POSIX)
};

}  // namespace tarvelin::platform
