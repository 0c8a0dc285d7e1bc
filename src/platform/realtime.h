#pragma once
// Scheduling for the engine's paced threads: what each platform must provide. Every call is a
// request; a refusal (no privilege, no such facility) is ignored by the callers, which then
// simply run with ordinary priority.

namespace tarvelin::platform {

// Asks for a 1 ms system timer resolution (timeBeginPeriod(1)); a no-op where sleeps are
// already that fine.
void requestFineTimerResolution();

// Raises the whole process to the real-time priority class. POSIX has no process-wide class
// (scheduling is per thread), so there this does nothing.
void raiseProcessPriority();

// Raises the calling thread to time-critical priority; on POSIX, real-time FIFO scheduling.
void raiseThreadPriority();

}  // namespace tarvelin::platform
