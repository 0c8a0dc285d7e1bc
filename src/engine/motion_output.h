#pragma once
// The bytes the engine publishes each cycle, as pure functions of the cues and settings: the
// six axes of the rig frame (held to the rig limits, then to the rate limits), the 36-byte rig
// frame, the low-passed rig pose and the fan byte. No value that is not finite ever leaves
// through them: such a value holds its output where it was.

#include <array>
#include <cstdint>

#include "core/dof_limit.h"
#include "core/game_data.h"
#include "core/rig_axes.h"
#include "engine/rig_frame_store.h"

namespace tarvelin {

using RigPose = std::array<double, rigAxisCount>;

// Each motion cue as a float clamped to its slot's rig limits. A cue that is not finite holds
// its axis where `held` has it (clamped all the same).
RigAxes limitedAxes(const CueArray& cues, const std::array<DofLimit, rigSlotCount>& rigLimits, const RigAxes& held);

// FC FC, the six axes as little-endian floats, the belt and wind cues as big-endian unsigned
// integers, and 0A 0D.
RigFrame buildRigFrame(const RigAxes& axes, double beltCue, double windCue);

// A cue as the unsigned 32-bit integer of the frame: 0 below zero, all bits set from 2^32 - 1.
std::uint32_t frameInteger(double cue);

// The gained motion cues that feed the rig pose low-pass; a product that is not finite holds
// the axis at its value in `held`.
RigPose gainedPose(const CueArray& cues, double gain, const RigPose& held);

// One step of the rig pose low-pass: output += (input - output) / filter, per axis. A step that
// would not be finite leaves that axis as it was.
void stepRigPose(RigPose& output, const RigPose& input, double filter);

// The wind cue (0..100 %) as the fan's speed byte 0..255.
std::uint8_t fanByte(double windCue);

}  // namespace tarvelin
