#pragma once
// Four host threads that call the library's exports at once, as a careless host may: two start
// and stop the engine's thread in ever new interleavings (with the rig link, one of them also
// runs the link's loop, which occupies it until the other stops the link, and pauses and resumes
// the interface), one calls every setter, one every getter. The setters keep the rig's limits,
// rate limits and park as the test set them, so that what the rig receives can be checked
// against them.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>
#include <vector>

namespace tarvelin::test {

struct HostThreadSettings {
    bool rigLink = false;      // also start, stop, pause and resume the rig link
    double rigLimit = 1.0;     // every rig slot held to ±rigLimit
    double rateLimit = 0.0;    // units per second on every axis; 0: none
    double parkMs = 20.0;
    // How often each starting and stopping thread stops the engine; zero: at every third call,
    // which leaves the engine no time to find a game between stops.
    std::chrono::milliseconds engineStopEvery{0};
};

class HostThreads {
public:
    explicit HostThreads(HostThreadSettings settings);
    ~HostThreads() { stop(); }
    HostThreads(const HostThreads&) = delete;
    HostThreads& operator=(const HostThreads&) = delete;

    // Ends the calls and waits for every thread; a link loop one of them runs is stopped.
    void stop();
    // Export calls that have returned so far.
    std::size_t calls() const { return calls_.load(); }

private:
    void startAndStop(unsigned host);
    void setEverything();
    void getEverything();

    const HostThreadSettings settings_;
    std::atomic<bool> hammering_{true};
    std::atomic<std::size_t> calls_{0};
    std::atomic<unsigned> startStopEnded_{0};
    std::vector<std::thread> threads_;
};

}  // namespace tarvelin::test
