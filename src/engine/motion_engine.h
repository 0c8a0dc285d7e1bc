#pragma once
// The process-wide engine object behind every export. It is built on first use by whichever
// export runs first (thread-safe, once) and lives until the process ends.
//
// Flags shared between threads are atomics. Numeric settings written by host setters and read
// by the game-source thread are atomics accessed relaxed: each value is whole, but a pair of
// limits may be seen half updated for one cycle, which is harmless.

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "engine/frame_timer.h"
#include "engine/game_data.h"
#include "engine/rig_frame_store.h"
#include "games/game_source.h"
#include "platform/shared_memory.h"

namespace tarvelin {

struct DofLimit {
    std::atomic<double> low{0.0};
    std::atomic<double> high{0.0};

    void set(double lowValue, double highValue) {
        low.store(lowValue, std::memory_order_relaxed);
        high.store(highValue, std::memory_order_relaxed);
    }
};

class MotionEngine {
public:
    // The engine, built by the first call from any thread.
    static MotionEngine& instance();

    MotionEngine(const MotionEngine&) = delete;
    MotionEngine& operator=(const MotionEngine&) = delete;

    GameData& gameData() { return gameSource.gameData; }

    std::atomic<bool> connected{false};
    std::atomic<bool> running{false};
    std::atomic<bool> outputHeld{true};
    std::atomic<bool> motionSystemReady{false};
    std::atomic<bool> motionCancelActive{false};

    FrameTimer cycleTimer;
    GameSource gameSource;

    std::array<double, 6> motionCancelRaw{};
    platform::SharedMemory rigPose;  // "Local\motionRigPose"
    static constexpr const wchar_t* rigPoseName = L"Local\\motionRigPose";
    static constexpr std::uint32_t rigPoseSize = 512;
    std::array<double, 6> motionCancelInputs{};
    std::array<double, 6> motionCancelOutputs{};
    std::atomic<double> motionCancelFilter{60.0};
    std::atomic<double> motionCancelGain{1.0};

    std::array<DofLimit, rigSlotCount> rigDofLimits{};
    std::array<DofLimit, rigSlotCount> inputDofLimits{};

    std::atomic<double> transitionProgress{1.0};
    double transitionDurationMs = 4000.0;
    bool crossFadeActive = false;
    std::atomic<std::int32_t> activeProfil{0};
    std::atomic<double> airWeight{1.0};
    std::atomic<double> groundWeight{0.0};
    double crossFadeCycles = 200.0;
    std::int32_t readFailures = 0;
    std::int32_t staleCycles = 0;

    RigFrameStore rigFrame;
    std::thread gameSourceThread;

private:
    MotionEngine();
    ~MotionEngine();
};

}  // namespace tarvelin
