#include "platform/realtime.h"

#include <windows.h>
#include <timeapi.h>

namespace tarvelin::platform {

// The paced loops sleep 1 ms at a time; with the default 15.6 ms system tick such a sleep
// would last a whole tick. The request is never withdrawn, as the loops run for the life of
// the engine.
void requestFineTimerResolution() { timeBeginPeriod(1); }

void raiseProcessPriority() { SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS); }

void raiseThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL); }

}  // namespace tarvelin::platform
