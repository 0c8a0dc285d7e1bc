#include "platform/realtime.h"

#include <pthread.h>
#include <sched.h>

namespace tarvelin::platform {

// Linux timers are already fine-grained (high-resolution timers), so there is nothing to ask.
void requestFineTimerResolution() {}

void raiseProcessPriority() {}

void raiseThreadPriority() {
    // FIFO scheduling at a middle priority: above every ordinary thread, below the kernel's own
    // real-time threads. Without the privilege (no CAP_SYS_NICE) the call fails and the thread
    // keeps its ordinary priority. The paced loops sleep for part of every period, and the
    // kernel's real-time throttling keeps a share of each core for ordinary threads in any case.
    sched_param parameters{};
    parameters.sched_priority = (sched_get_priority_min(SCHED_FIFO) + sched_get_priority_max(SCHED_FIFO)) / 2;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}

}  // namespace tarvelin::platform
