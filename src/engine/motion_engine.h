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
#include <mutex>
#include <thread>
#include <vector>

#include "core/cycle_slots.h"
#include "core/dof_limit.h"
#include "core/frame_timer.h"
#include "core/game_data.h"
#include "engine/motion_output.h"
#include "engine/rig_frame_store.h"
#include "engine/snapshot_buffer.h"
#include "filters/motion_profil.h"
#include "games/game_source.h"
#include "platform/shared_memory.h"
#include "tarvelin/motion.h"

namespace tarvelin {

// The largest magnitude of the motion-cancel gain: far beyond any use, and small enough that the
// gained pose stays a sane number.
inline constexpr double motionCancelGainLimit = 100.0;
// The longest park a host may ask for, so that a stop cannot hang for long.
inline constexpr double parkDurationLimitMs = 60000.0;

class MotionEngine {
public:
    // The engine, built by the first call from any thread.
    static MotionEngine& instance();

    MotionEngine(const MotionEngine&) = delete;
    MotionEngine& operator=(const MotionEngine&) = delete;

    GameData& gameData() { return gameSource.gameData; }

    // Freezes the cues: the soft start begins again from the cues as they stand (copies
    // cueValues into frozenCues and sets transitionProgress to 0.0). Host threads call it
    // while the game-source thread runs, so it takes cueMutex for the copy; see there.
    void freezeCues();
    // The same, for a caller that already holds cueMutex (the game-source thread inside its
    // cue steps, e.g. its stale test).
    void freezeCuesLocked();

    // The frame cycle (run by the game-source thread; tests may drive it directly).
    void startThread();
    void stopThread();
    void runCycle();
    bool readStage();     // reads a frame and counts failures; false when the game was given up
    void processCycle();  // selection through publishing, on the telemetry as it stands
    void resetConnection();
    void selectProfile();
    void combineProfiles();
    void stepCrossFade();
    void applySoftStart();
    void recordSnapshots();
    void publishOutputs();
    void openRigPose();
    // Brings the rig back to neutral along a smooth ramp, when a park duration is set and the
    // engine was moving the rig (see setParkDuration); returns at once otherwise.
    void parkRig();

    // The fan controller; first, so that it is destroyed last, after the game-source thread
    // that feeds it has stopped.
    WindSerial windSerial;

    SnapshotBuffer<CalculationSnapshot> calcSnapshots;
    std::array<double, rigSlotCount> positionSnapshot{};
    SnapshotBuffer<AccelerationSnapshot> accelSnapshots;

    std::atomic<bool> connected{false};
    std::atomic<bool> running{false};
    std::atomic<bool> outputHeld{true};
    std::atomic<bool> motionSystemReady{false};
    std::atomic<bool> motionCancelActive{false};
    // The low-latency mode (setLowLatency): the game's frames start the cycle, and the bridge
    // sends each frame as soon as it is queued.
    std::atomic<bool> lowLatency{false};
    // Whether the last cycle followed the game's frames (the low-latency mode, with a game whose
    // frames arrive on a socket). Written by the game-source thread, read by getLowLatency.
    std::atomic<bool> followingFrames{false};

    FrameTimer cycleTimer;
    CycleSlots cycleSlots{cycleTimer.ticksPerUs};  // the low-latency schedule; game-source thread only
    GameSource gameSource;

    std::array<double, 6> motionCancelRaw{};
    platform::SharedMemory rigPose;  // "Local\motionRigPose"
    // The block is opened and closed by host threads (activateMotionCancel) while the
    // game-source thread writes into it; this short lock keeps a write from landing in a view
    // that was just unmapped.
    std::mutex rigPoseMutex;
    static constexpr const wchar_t* rigPoseName = L"Local\\motionRigPose";
    static constexpr std::uint32_t rigPoseSize = 512;
    std::array<double, 6> motionCancelInputs{};
    std::array<double, 6> motionCancelOutputs{};
    std::atomic<double> motionCancelFilter{60.0};
    std::atomic<double> motionCancelGain{1.0};

    // The profiles read the telemetry channels and the input limits by reference; the limits
    // are declared further down but are only read once the engine is built.
    MotionProfil profilAir{"Profil AIR", gameSource.gameData.channels, inputDofLimits};
    MotionProfil profilGround{"Profil GROUND", gameSource.gameData.channels, inputDofLimits};
    MotionProfil profilTransition{"Transition", gameSource.gameData.channels, inputDofLimits};

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
    // Serialises startThread and stopThread, each of which holds it throughout (a stop while its
    // thread parks the rig and ends). The game-source thread never takes it, and no other lock
    // is taken under it.
    std::mutex threadLifecycleMutex;

    // Rig safety, off until the host sets it: the park's duration (0: the rig holds its last
    // pose). How fast each axis may move is in rigAxisSteps(), shared with the rig link.
    std::atomic<double> parkDurationMs{0.0};
    // The axes of the last frame built, where the rig was sent: the rate limits move on from
    // here, and an axis whose cue is not finite stays here. Game-source thread only.
    RigAxes rigAxes{};
    // Whether the last cycle published a frame, i.e. the engine is moving the rig; a park only
    // runs then. Game-source thread only.
    bool publishedLastCycle = false;
    // Cycles run one after the other, paced or following the game's frames, since the last
    // pause (a search, a rig that was not ready, a reset). The cycle timer's last interval is one
    // cycle's length only from the second of them on: the first one's interval spans the pause.
    // Game-source thread only.
    std::int32_t pacedCyclesInARow = 0;

    // Serialises a freeze from a host thread with the game-source thread's cue steps, so that
    // a freeze never lands between the cycle's writing of cueValues and its soft start (which
    // would freeze live values the rig never saw) or in the middle of either. The cycle holds
    // it from the combination of the profile outputs into cueValues to the end of the soft
    // start, and calls freezeCuesLocked inside. It guards cueValues, frozenCues and
    // transitionProgress, is held for microseconds at most, and never while a filter chain is
    // evaluated, so no other lock is ever taken under it.
    std::mutex cueMutex;

private:
    MotionEngine();
    ~MotionEngine();

    void threadBody();
    void stopThreadForTeardown();
    void evaluateProfileSlots();
    void updateStaleCount();
    void pace();
    // The start of a cycle that follows the game's frames: waits for the game's next frame or
    // the end of the cycle's slot (see CycleSlots), then restarts the cycle timer.
    void awaitFrame();
    // The end of a cycle that published: pacing, then the cycle's 1 ms rest.
    void paceAndRest();
    void publishWind();

    // Set by the game-source thread as the last thing it does in the engine.
    std::atomic<bool> threadFinished{false};
    // Set when the library goes away: a park must not keep the thread in the engine then.
    std::atomic<bool> parkCancelled{false};
    // The fan byte handed over each cycle; kept so that handing it over allocates nothing.
    std::vector<std::uint8_t> windByte = std::vector<std::uint8_t>(1);
};

}  // namespace tarvelin
