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

// A cue that is not finite would reach the rig (or the fan, or a VR tool) as garbage; it counts
// as 0.0 instead, which the clamps below then keep within the slot's limits. A finite cue beyond
// the float range is held at its edge, where the clamps treat it like any large value.
float finiteFloat(double value) {
    if (!std::isfinite(value)) return 0.0f;
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
    float value = finiteFloat(cue);
    value = 0.0f > value ? 0.0f : std::min(4294967296.0f, value);
    const auto wide = static_cast<double>(value);
    if (wide >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(wide);
}

RigFrame buildRigFrame(const CueArray& cues, const std::array<DofLimit, rigSlotCount>& rigLimits) {
    RigFrame frame{};
    frame[0] = 0xFC;
    frame[1] = 0xFC;
    for (int slot = 0; slot < 6; ++slot) {
        const float value = finiteFloat(cues[slot]);
        const auto low = static_cast<float>(rigLimits[slot].low.load(std::memory_order_relaxed));
        const auto high = static_cast<float>(rigLimits[slot].high.load(std::memory_order_relaxed));
        putFloat(frame, 2 + 4 * static_cast<std::size_t>(slot), low > value ? low : std::min(high, value));
    }
    putBigEndian(frame, 26, frameInteger(cues[10]));
    putBigEndian(frame, 30, frameInteger(cues[21]));
    frame[34] = 0x0A;
    frame[35] = 0x0D;
    return frame;
}

RigPose gainedPose(const CueArray& cues, double gain) {
    RigPose pose{};
    for (std::size_t axis = 0; axis < pose.size(); ++axis) {
        const double raw = gain * cues[axis];
        pose[axis] = std::isfinite(raw) ? raw : 0.0;
    }
    return pose;
}

void stepRigPose(RigPose& output, const RigPose& input, double filter) {
    for (std::size_t axis = 0; axis < output.size(); ++axis) {
        const double next = (input[axis] - output[axis]) / filter + output[axis];
        // A filter of 0 or a runaway gain must not leave the low-pass stuck on a non-finite
        // value for the rest of the session.
        output[axis] = std::isfinite(next) ? next : 0.0;
    }
}

std::uint8_t fanByte(double windCue) {
    float wind = finiteFloat(windCue);
    wind = 0.0f > wind ? 0.0f : std::min(100.0f, wind);
    return static_cast<std::uint8_t>(wind / 100.0f * 255.0f);
}

void MotionEngine::publishOutputs() {
    const GameData& record = gameData();
    const RigFrame frame = buildRigFrame(record.cueValues, rigDofLimits);
    rigFrame.store(frame);
    // A frame the link refuses (no link running, queue full) is simply lost: the next cycle
    // brings a newer one.
    serial::sendMessage(frame);

    if (motionCancelActive.load()) {
        motionCancelRaw = gainedPose(record.cueValues, motionCancelGain.load(std::memory_order_relaxed));
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
    // An open block is released first, so that repeated resets over a long session do not pile
    // up handles and views.
    rigPose.close();
    if (rigPose.createOrOpen(rigPoseName, rigPoseSize) &&
        rigPose.map(platform::MapAccess::readWrite, rigPoseSize) == nullptr) {
        rigPose.close();
    }
}

void MotionEngine::closeRigPose() {
    std::lock_guard lock(rigPoseMutex);
    rigPose.close();
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
        engine.motionCancelActive.exchange(false);
        engine.closeRigPose();
    }
}

void setFilterMotionCancel(double value) {
    auto& engine = MotionEngine::instance();
    if (engine.motionCancelActive.load()) engine.motionCancelFilter.store(value, std::memory_order_relaxed);
}

void setGainMotionCancel(double value) {
    auto& engine = MotionEngine::instance();
    if (engine.motionCancelActive.load()) engine.motionCancelGain.store(value, std::memory_order_relaxed);
}

}  // extern "C"
