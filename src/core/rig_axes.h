#pragma once
// The six motion axes of the rig frame and their rate limit, shared by the engine, which limits
// the frames it builds, and the rig link, which limits the frames it sends once more against the
// last one the rig received.

#include <array>

namespace tarvelin {

inline constexpr int rigAxisCount = 6;

// The six motion axes as the frame carries them: lateral, longitudinal, vertical, yaw, roll,
// pitch.
using RigAxes = std::array<float, rigAxisCount>;

// Moves each axis from `previous` toward `wanted` by at most its `maxStep` (0: no limit).
RigAxes rateLimitedAxes(const RigAxes& wanted, const RigAxes& previous, const std::array<double, rigAxisCount>& maxStep);

}  // namespace tarvelin
