#pragma once
// The rate limits once more, where the motion frames leave for the rig. The engine limits each
// frame it builds against the one before; but not every frame it builds reaches the rig: a link
// that is stopped, paused or looking for its board refuses them or drops them as stale. The
// first frame after such a gap would then move the rig by all the motion it missed, at once. So
// each transport limits every motion frame it sends against the last one it sent, and the rig
// catches up at its rate limits instead.

#include <array>
#include <cstdint>
#include <mutex>
#include <span>

#include "core/rig_axes.h"

namespace tarvelin::serial {

class MotionStepGuard {
public:
    // When `frame` is a motion frame (36 bytes, FC FC), moves each of its axes toward the last
    // motion frame passed here by at most its step, and notes the axes it leaves. The first
    // motion frame goes as it is: where the rig stands before it is not known. Thread-safe.
    void limit(std::span<std::uint8_t> frame, const RigAxisSteps& steps = rigAxisSteps());

private:
    std::mutex mutex_;
    bool sentAny_ = false;
    RigAxes lastSent_{};
};

}  // namespace tarvelin::serial
