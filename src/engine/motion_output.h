#pragma once
// The bytes the engine publishes each cycle, as pure functions of the cues and settings: the
// 36-byte rig frame, the low-passed rig pose and the fan byte. No value that is not finite ever
// leaves through them: such a cue counts as 0.0.

#include <array>
#include <cstdint>

#include "core/dof_limit.h"
#include "core/game_data.h"
#include "engine/rig_frame_store.h"

namespace tarvelin {

using RigPose = std::array<double, 6>;

// FC FC, the six motion cues as little-endian floats clamped to their rig limits, the belt
// (slot 10) and wind (slot 21) cues as big-endian unsigned integers, and 0A 0D.
RigFrame buildRigFrame(const CueArray& cues, const std::array<DofLimit, rigSlotCount>& rigLimits);

// A cue as the unsigned 32-bit integer of the frame: 0 below zero, all bits set from 2^32 - 1.
std::uint32_t frameInteger(double cue);

// The gained motion cues that feed the rig pose low-pass; a product that is not finite is 0.0.
RigPose gainedPose(const CueArray& cues, double gain);

// One step of the rig pose low-pass: output += (input - output) / filter, per axis.
void stepRigPose(RigPose& output, const RigPose& input, double filter);

// The wind cue (0..100 %) as the fan's speed byte 0..255.
std::uint8_t fanByte(double windCue);

}  // namespace tarvelin
