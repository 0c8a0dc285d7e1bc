// The game-source thread: it looks for a running game, connects to it, and then runs the frame
// cycle 500 times a second: read, select and evaluate the profiles, detect frozen telemetry,
// blend, record, publish, and wait for the next period.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/motion_engine.h"
#include "platform/clock.h"
#include "platform/module_lifetime.h"
#include "platform/realtime.h"
#include "tarvelin/motion.h"

namespace tarvelin {

namespace {

constexpr int staleLimit = 250;        // unchanged cycles after which the cues freeze
constexpr int readFailureLimit = 1000;  // failed reads after which the game is given up

void sleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds));
}

}  // namespace

void MotionEngine::startThread() {
    // Start and stop take turns: two host threads must never join the same thread, nor one start
    // a thread while another is still waiting for the last one to end.
    std::lock_guard lock(threadLifecycleMutex);
    if (running.load()) return;
    running.exchange(true);
    threadFinished.store(false);
    try {
        gameSourceThread = std::thread([this] { threadBody(); });
    } catch (...) {
        // No thread: the engine stays stopped, and the next start may try again.
        running.exchange(false);
        throw;
    }
}

void MotionEngine::stopThread() {
    // Held while the thread parks the rig and ends, so that a start meanwhile waits and then
    // starts afresh, and a second stop returns only once the thread has ended.
    std::lock_guard lock(threadLifecycleMutex);
    running.exchange(false);
    if (gameSourceThread.joinable()) gameSourceThread.join();
}

void MotionEngine::stopThreadForTeardown() {
    parkCancelled.store(true);
    running.exchange(false);
    if (!gameSourceThread.joinable()) return;
    switch (platform::teardown()) {
        case platform::Teardown::none:
            gameSourceThread.join();
            return;
        case platform::Teardown::processExit:
            // The system has already ended the thread; joining could wait on state it left behind.
            gameSourceThread.detach();
            return;
        case platform::Teardown::unloading:
            // The thread cannot end while the loader lock is held, so wait for it to leave the
            // engine's loop (its cycle ends within a detection scan), then let it go.
            for (int waited = 0; waited < 3000 && !threadFinished.load(); ++waited) sleepMilliseconds(1);
            gameSourceThread.detach();
            return;
    }
}

void MotionEngine::threadBody() {
    platform::requestFineTimerResolution();
    platform::raiseProcessPriority();
    platform::raiseThreadPriority();
    cycleTimer.precisePacing.store(1, std::memory_order_relaxed);
    resetConnection();
    gameSource.clearFlags();
    cycleTimer.restart();
    while (running.load()) runCycle();
    parkRig();
    connected.exchange(false);
    // A stopped engine lets go of the game: its port or block is free for other programs until
    // the engine starts again and searches afresh.
    gameSource.disconnect();
    windSerial.stop();
    threadFinished.store(true);
}

void MotionEngine::runCycle() {
    if (!connected.load()) {
        pacedCyclesInARow = 0;
        followingFrames.store(false, std::memory_order_relaxed);
        if (gameSource.detect() != 0 && gameSource.connect() != 0) {
            connected.exchange(true);
            cycleTimer.restart();
            outputHeld.exchange(false);
        }
    } else if (!motionSystemReady.load()) {
        // The host holds the rig: the engine sends nothing and would not park it either.
        publishedLastCycle = false;
        pacedCyclesInARow = 0;
        followingFrames.store(false, std::memory_order_relaxed);
        sleepMilliseconds(1);
    } else {
        // In the low-latency mode a game whose frames arrive on a socket sets the pace itself;
        // the others keep the clock's.
        const bool followFrames = lowLatency.load(std::memory_order_relaxed) && gameSource.framesArriveOnSocket();
        if (followFrames) {
            awaitFrame();
        } else {
            followingFrames.store(false, std::memory_order_relaxed);
        }
        if (!readStage()) return;
        processCycle();
        // Such a cycle's wait came before it: no pacing and no rest after it.
        if (followFrames) return;
        pace();
    }
    sleepMilliseconds(1);
}

void MotionEngine::awaitFrame() {
    using Ticks = std::int64_t;
    auto microsecondsUntil = [this](Ticks moment) {
        const double left = static_cast<double>(moment - platform::performanceCounter()) / cycleTimer.ticksPerUs;
        return std::chrono::microseconds(static_cast<std::int64_t>(std::ceil(left)));
    };
    // Sleeps, never spins: the thread runs at the highest priority and must leave the core to
    // the rest of the machine while it waits.
    auto sleepUntil = [&](Ticks moment) {
        for (auto left = microsecondsUntil(moment); left.count() > 0; left = microsecondsUntil(moment)) {
            platform::sleepFor(left);
        }
    };
    // The first such cycle after a pause or after paced cycles begins the schedule afresh.
    if (!followingFrames.load(std::memory_order_relaxed)) {
        cycleSlots.begin(platform::performanceCounter());
        followingFrames.store(true, std::memory_order_relaxed);
    }
    sleepUntil(cycleSlots.earliest());
    const auto left = microsecondsUntil(cycleSlots.slotEnd());
    // A wait that failed at once (a socket gone bad) must not turn the cycle into a spin.
    if (left.count() > 0 && !gameSource.waitForFrame(left)) sleepUntil(cycleSlots.slotEnd());
    cycleSlots.started(platform::performanceCounter());
    // The cycle timer measures from cycle start to cycle start, as its pacing does in the paced
    // mode, so that the cycle's length and the soft start's steps mean the same in both modes.
    cycleTimer.restart();
    cycleTimer.lastCycleUs.store(cycleTimer.lastIntervalMs() * 1000.0, std::memory_order_relaxed);
    pacedCyclesInARow = std::min(pacedCyclesInARow + 1, 2);
}

bool MotionEngine::readStage() {
    if (gameSource.readFrame()) {
        readFailures = 0;
    } else {
        ++readFailures;
    }
    if (staleCycles > staleLimit) freezeCues();
    if (readFailures > readFailureLimit) {
        // The game is gone: park the rig when the host asked for it, then search again at
        // once, without pacing or sleeping.
        parkRig();
        resetConnection();
        return false;
    }
    return true;
}

void MotionEngine::processCycle() {
    selectProfile();
    {
        std::lock_guard<std::mutex> lock(cueMutex);
        combineProfiles();
        stepCrossFade();
        updateStaleCount();
        applySoftStart();
    }
    recordSnapshots();
    publishedLastCycle = !outputHeld.load();
    if (publishedLastCycle) publishOutputs();
}

void MotionEngine::updateStaleCount() {
    GameData& record = gameData();
    bool unchanged = true;
    for (int i = 0; i < rigSlotCount; ++i) unchanged = unchanged && record.channels[i] == record.previousChannels[i];
    staleCycles = unchanged ? staleCycles + 1 : 0;
    std::copy(record.channels.begin(), record.channels.begin() + rigSlotCount, record.previousChannels.begin());
}

void MotionEngine::pace() {
    pacedCyclesInARow = std::min(pacedCyclesInARow + 1, 2);
    if (cycleTimer.precisePacing.load(std::memory_order_relaxed) != 0) {
        cycleTimer.waitNextPeriod();
        return;
    }
    // Sleep pacing: the carry remembers how far earlier periods overran (or fell short of)
    // 2000 µs, so that later ones sleep less (or more) and the average period holds.
    auto elapsedUs = [this] {
        cycleTimer.currentStamp = platform::performanceCounter();
        return static_cast<double>(cycleTimer.currentStamp - cycleTimer.startStamp) / cycleTimer.ticksPerUs;
    };
    // Held to a sane range before the conversion, which would be undefined for a carry that ran
    // away (a thread stalled for a long time).
    const auto planned = static_cast<std::int32_t>(std::clamp(elapsedUs() + cycleTimer.carryUs, -1.0e9, 1.0e9));
    if (planned < 500) {
        sleepMilliseconds(2);
    } else if (planned >= 501 && planned <= 999) {
        sleepMilliseconds(1);
    }
    cycleTimer.carryUs = elapsedUs() - FrameTimer::periodUs + cycleTimer.carryUs;
    cycleTimer.restart();
    cycleTimer.lastCycleUs.store(static_cast<double>(planned), std::memory_order_relaxed);
}

void MotionEngine::paceAndRest() {
    pace();
    sleepMilliseconds(1);
}

void MotionEngine::resetConnection() {
    gameSource.disconnect();
    openRigPose();
    connected.exchange(false);
    freezeCues();
    outputHeld.exchange(true);
    publishedLastCycle = false;
    pacedCyclesInARow = 0;
    followingFrames.store(false, std::memory_order_relaxed);
    readFailures = 0;
    staleCycles = 0;
    airWeight.store(1.0, std::memory_order_relaxed);
    groundWeight.store(0.0, std::memory_order_relaxed);
    activeProfil.store(0, std::memory_order_relaxed);
    windSerial.pause();
}

}  // namespace tarvelin

using tarvelin::MotionEngine;

extern "C" {

void startGamesource_Thread(void) { MotionEngine::instance().startThread(); }

void stopGamesource_Thread(void) { MotionEngine::instance().stopThread(); }

void setMotionsystemready(int ready) {
    auto& engine = MotionEngine::instance();
    if (ready == 1) {
        if (!engine.motionSystemReady.load() && !engine.motionSystemReady.exchange(true)) engine.freezeCues();
    } else if (ready == 0) {
        if (engine.motionSystemReady.load() && engine.motionSystemReady.exchange(false)) engine.freezeCues();
    }
}

}  // extern "C"
