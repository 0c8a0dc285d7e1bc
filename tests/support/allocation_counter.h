#pragma once
// Counting heap allocations, for the programs that check that real-time code allocates nothing.
//
// allocation_counter.cpp replaces the global operator new and delete (every form) for the whole
// program, so a program links it once, as one of its own sources, and never together with
// another replacement. Counting is per thread: the thread under test either switches counting on
// for itself, or, when it cannot be changed (the engine's own threads), another thread watches
// it by its id. Allocations of every other thread are not counted. All calls are thread-safe.

#include <thread>

namespace tarvelin::test {

// Switches counting for the calling thread on or off. What all threads count this way adds up
// in countedAllocations().
void countAllocationsOnThisThread(bool on);
long countedAllocations();
void resetCountedAllocations();

// Two slots for threads counted by id; each slot counts on its own. A default id empties the slot.
inline constexpr int watchedThreadSlots = 2;
void watchThread(int slot, std::thread::id thread);
long watchedThreadAllocations(int slot);
void resetWatchedThreadAllocations(int slot);

}  // namespace tarvelin::test
