// Rig safety beyond the clamps: the park, which brings the rig back to neutral when the engine
// stops moving it, and the exports that set the park and the rate limits.

#include <cmath>
#include <mutex>
#include <numbers>

#include "core/index_rules.h"
#include "core/rig_axes.h"
#include "engine/motion_engine.h"
#include "tarvelin/motion.h"

namespace tarvelin {

namespace {

constexpr double periodMs = FrameTimer::periodUs / 1000.0;
// How long a park may go on after its ramp while rate limits hold the rig back from neutral.
// Rate limits so low that they need longer leave the rig where it stands then.
constexpr double parkCatchUpLimitMs = 10000.0;

// The ramp from 1 to 0 over the park: a half cosine, which starts and ends at rest, so the rig
// neither jolts into the park nor into neutral. Its steepest slope is π/2 per duration.
double parkShare(double elapsedMs, double durationMs) {
    if (elapsedMs >= durationMs) return 0.0;
    return 0.5 + 0.5 * std::cos(std::numbers::pi * elapsedMs / durationMs);
}

}  // namespace

void MotionEngine::parkRig() {
    if (!publishedLastCycle) return;
    publishedLastCycle = false;
    if (!(parkDurationMs.load(std::memory_order_relaxed) > 0.0)) return;

    // The ramp starts where the rig is: the axes of the last frame (within the limits, after the
    // rate limits) and the other cues as they were published.
    CueArray from;
    {
        std::lock_guard<std::mutex> lock(cueMutex);
        from = gameData().cueValues;
    }
    for (int axis = 0; axis < rigAxisCount; ++axis) from[axis] = rigAxes[axis];
    const CueArray neutralCues{};

    for (double elapsedMs = periodMs;; elapsedMs += periodMs) {
        // Setting the duration to 0, a host that no longer calls the rig ready, and the library
        // going away all end the park at once, with the rig where it stands.
        const double durationMs = parkDurationMs.load(std::memory_order_relaxed);
        if (!(durationMs > 0.0) || !motionSystemReady.load() || parkCancelled.load()) break;
        const double share = parkShare(elapsedMs, durationMs);
        {
            std::lock_guard<std::mutex> lock(cueMutex);
            // Adding +0.0 turns -0.0 into 0.0, so the rig gets the very bytes of a zero.
            for (int slot = 0; slot < rigSlotCount; ++slot) gameData().cueValues[slot] = from[slot] * share + 0.0;
        }
        recordSnapshots();
        publishOutputs();
        if (elapsedMs >= durationMs &&
            (rigAxes == limitedAxes(neutralCues, rigDofLimits, rigAxes) || elapsedMs >= durationMs + parkCatchUpLimitMs)) {
            break;
        }
        paceAndRest();
    }
}

}  // namespace tarvelin

using tarvelin::MotionEngine;

extern "C" {

int setParkDuration(double milliseconds) {
    auto& engine = MotionEngine::instance();
    if (!(milliseconds >= 0.0 && milliseconds <= tarvelin::parkDurationLimitMs)) return 0;
    engine.parkDurationMs.store(milliseconds, std::memory_order_relaxed);
    return 1;
}

int SetRigDofRateLimit(int axis, double unitsPerSecond) {
    if (!tarvelin::indexInRange(axis, tarvelin::rigAxisCount)) return 0;
    if (!(unitsPerSecond >= 0.0) || !std::isfinite(unitsPerSecond)) return 0;
    // The engine limits the frames it builds to these steps, and the rig link the frames it
    // sends (see serial/motion_step_guard.h).
    tarvelin::rigAxisSteps()[static_cast<unsigned>(axis)].store(
        unitsPerSecond * (tarvelin::FrameTimer::periodUs / 1.0e6), std::memory_order_relaxed);
    return 1;
}

}  // extern "C"
