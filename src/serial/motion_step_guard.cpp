#include "serial/motion_step_guard.h"

#include <cstring>

#include "serial/rig_frames.h"

namespace tarvelin::serial {

namespace {

// The six axes follow the two lead bytes.
constexpr std::size_t axesOffset = 2;

}  // namespace

void MotionStepGuard::limit(std::span<std::uint8_t> frame, const RigAxisSteps& steps) {
    if (frame.size() != motionFrameLength || frame[0] != leadMotion || frame[1] != leadMotion) return;
    // The frame's floats are little-endian, as are both builds' targets.
    RigAxes axes;
    std::memcpy(axes.data(), frame.data() + axesOffset, sizeof axes);
    const auto maxStep = loadedSteps(steps);

    std::lock_guard lock(mutex_);
    if (sentAny_) axes = rateLimitedAxes(axes, lastSent_, maxStep);
    sentAny_ = true;
    lastSent_ = axes;
    std::memcpy(frame.data() + axesOffset, axes.data(), sizeof axes);
}

}  // namespace tarvelin::serial
