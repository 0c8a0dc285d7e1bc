#pragma once
// The six motion axes of the rig frame and their rate limit, shared by the engine, which limits
// the frames it builds, and the rig link, which limits the frames it sends once more against the
// last one the rig received.

#include <array>
#include <atomic>

namespace tarvelin {

inline constexpr int rigAxisCount = 6;

// The six motion axes as the frame carries them: lateral, longitudinal, vertical, yaw, roll,
// pitch.
using RigAxes = std::array<float, rigAxisCount>;

// The largest step of each axis from one motion frame to the next, in frame units per 2 ms cycle
// (0: no limit).
using RigAxisSteps = std::array<std::atomic<double>, rigAxisCount>;

// The steps the host's rate limits set, one set for the process as there is one rig: the engine
// limits the frames it builds with them, and every transport the frames it sends. None by
// default. Thread-safe.
RigAxisSteps& rigAxisSteps();

// A snapshot of `steps`, for rateLimitedAxes.
std::array<double, rigAxisCount> loadedSteps(const RigAxisSteps& steps);

// Moves each axis from `previous` toward `wanted` by at most its `maxStep` (0: no limit).
RigAxes rateLimitedAxes(const RigAxes& wanted, const RigAxes& previous, const std::array<double, rigAxisCount>& maxStep);

}  // namespace tarvelin
