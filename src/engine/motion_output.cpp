// Publishing the cues of a cycle: the rig frame to the rig controller link, the rig pose block
// for motion-compensation tools, and the fan byte to the wind controller.

#include "engine/motion_output.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/motion_engine.h"
#include "serial/bridge.h"
#include "tarvelin/motion.h"

namespace tarvelin {

namespace {

// A finite cue beyond the float range is held at its edge, where the clamps treat it like any
// large value. (The caller deals with cues that are not finite.)
float floatWithinRange(double value) {
    constexpr double largest = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(value, -largest, largest));
}

void putFloat(RigFrame& frame, std::size_t offset, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (std::size_t i = 0; i < 4; ++i) frame[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

void putBigEndian(RigFrame& frame, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) frame[offset + i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
}

}  // namespace

std::uint32_t frameInteger(double cue) {
    // Nothing that is not finite reaches the rig: such a cue sends 0.
    float value = std::isfinite(cue) ? floatWithinRange(cue) : 0.0f;
    value = 0.0f > value ? 0.0f : std::min(4294967296.0f, value);
    const auto wide = static_cast<double>(value);
    if (wide >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(wide);
}

RigAxes limitedAxes(const CueArray& cues, const std::array<DofLimit, rigSlotCount>& rigLimits, const RigAxes& held) {
    RigAxes axes{};
    for (std::size_t axis = 0; axis < axes.size(); ++axis) {
        const DofRange range = rigLimits[axis].range();
        const auto low = static_cast<float>(range.low);
        const auto high = static_cast<float>(range.high);
        // A cue that is not finite must not throw the axis anywhere (to 0, say): it stays put.
        const float value = std::isfinite(cues[axis]) ? floatWithinRange(cues[axis]) : held[axis];
        axes[axis] = low > value ? low : std::min(high, value);
    }
    return axes;
}

RigFrame buildRigFrame(const RigAxes& axes, double beltCue, double windCue) {
    RigFrame frame{};
    frame[0] = 0xFC;
    frame[1] = 0xFC;
    for (std::size_t axis = 0; axis < axes.size(); ++axis) putFloat(frame, 2 + 4 * axis, axes[axis]);
    putBigEndian(frame, 26, frameInteger(beltCue));
    putBigEndian(frame, 30, frameInteger(windCue));
    frame[34] = 0x0A;
    frame[35] = 0x0D;
    return frame;
}

RigPose gainedPose(const CueArray& cues, double gain, const RigPose& held) {
    RigPose pose{};
    for (std::size_t axis = 0; axis < pose.size(); ++axis) {
        const double raw = gain * cues[axis];
        pose[axis] = std::isfinite(raw) ? raw : held[axis];
    }
    return pose;
}

void stepRigPose(RigPose& output, const RigPose& input, double filter) {
    for (std::size_t axis = 0; axis < output.size(); ++axis) {
        const double next = (input[axis] - output[axis]) / filter + output[axis];
        // Two huge values of opposite sign can overflow the difference; the pose then waits for
        // the next cycle rather than leaving a non-finite value for other programs.
        if (std::isfinite(next)) output[axis] = next;
    }
}

std::uint8_t fanByte(double windCue) {
    float wind = std::isfinite(windCue) ? floatWithinRange(windCue) : 0.0f;
    wind = 0.0f > wind ? 0.0f : std::min(100.0f, wind);
    return static_cast<std::uint8_t>(wind / 100.0f * 255.0f);
}

void MotionEngine::publishOutputs() {
    const GameData& record = gameData();
    // The rate limits come last, after the rig limits, so that nothing moves an axis faster:
    // not a spike in the telemetry, not a change of the limits, not a park.
    rigAxes = rateLimitedAxes(limitedAxes(record.cueValues, rigDofLimits, rigAxes), rigAxes, loadedSteps(rigAxisSteps()));
    const RigFrame frame = buildRigFrame(rigAxes, record.cueValues[10], record.cueValues[21]);
    rigFrame.store(frame);
    // A frame the link refuses (no link running, queue full) is simply lost: the next cycle
    // brings a newer one. In the low-latency mode the bridge sends it at once.
    serial::sendMessage(frame);
    serial::signalFrameQueued();

    if (motionCancelActive.load()) {
        motionCancelRaw = gainedPose(record.cueValues, motionCancelGain.load(std::memory_order_relaxed), motionCancelRaw);
        motionCancelInputs = motionCancelRaw;
        stepRigPose(motionCancelOutputs, motionCancelInputs, motionCancelFilter.load(std::memory_order_relaxed));
        std::lock_guard lock(rigPoseMutex);
        if (auto* view = static_cast<unsigned char*>(rigPose.view())) {
            std::memcpy(view, motionCancelOutputs.data(), sizeof motionCancelOutputs);
        }
    }
    publishWind();
}

void MotionEngine::publishWind() {
    if (!profilAir.activeDof[21].load(std::memory_order_relaxed)) return;
    const std::uint8_t speed = fanByte(gameData().cueValues[21]);
    if (windSerial.isRunning()) {
        windSerial.unpause();
        windByte[0] = speed;
        windSerial.updateBuffer(windByte);
    } else if (windSerial.isInit()) {
        windSerial.start();
    }
}

void MotionEngine::openRigPose() {
    std::lock_guard lock(rigPoseMutex);
    // One block for the life of the process: a program that mapped it (a motion-compensation
    // layer) keeps reading the live pose across resets, restarts and motion cancelling switched
    // off and on. On POSIX, closing the block would unlink its name, and a new block under that
    // name would leave such a reader with a dead copy.
    if (rigPose.view() != nullptr) return;
    if (rigPose.createOrOpen(rigPoseName, rigPoseSize) &&
        rigPose.map(platform::MapAccess::readWrite, rigPoseSize) == nullptr) {
        rigPose.close();
    }
}

}  // namespace tarvelin

using tarvelin::MotionEngine;

extern "C" {

void activateMotionCancel(bool on) {
    auto& engine = MotionEngine::instance();
    if (on) {
        engine.motionCancelActive.exchange(true);
        engine.openRigPose();
        engine.motionCancelFilter.store(60.0, std::memory_order_relaxed);
    } else {
        // The block stays (see openRigPose); it is simply no longer written.
        engine.motionCancelActive.exchange(false);
    }
}

void setFilterMotionCancel(double value) {
    auto& engine = MotionEngine::instance();
    // Below 1 the low-pass overshoots (below 0.5 it diverges), and 0 divides by zero.
    if (!(value >= 1.0) || !std::isfinite(value)) return;
    if (engine.motionCancelActive.load()) engine.motionCancelFilter.store(value, std::memory_order_relaxed);
}

void setGainMotionCancel(double value) {
    auto& engine = MotionEngine::instance();
    if (!(std::abs(value) <= tarvelin::motionCancelGainLimit)) return;
    if (engine.motionCancelActive.load()) engine.motionCancelGain.store(value, std::memory_order_relaxed);
}

}  // extern "C"
