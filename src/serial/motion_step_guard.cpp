#include "serial/motion_step_guard.h"

#include <cstring>

namespace tarvelin::serial {

namespace {

constexpr std::size_t motionFrameSize = 36;
constexpr std::size_t axesOffset = 2;

}  // namespace

void MotionStepGuard::limit(std::span<std::uint8_t> frame, const RigAxisSteps& steps) {
    if (frame.size() != motionFrameSize || frame[0] != 0xFC || frame[1] != 0xFC) return;
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
