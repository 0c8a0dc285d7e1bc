#pragma once
// Which telemetry channel feeds which rig slot, in the four fixed tables the engine evaluates
// every cycle, in this order: belt, wind, effects (AIR profile only) and motion (both).

#include <array>

#include "core/dof_mapping.h"
#include "core/game_data.h"

namespace tarvelin {

// The belt components 11..14 are summed (weighted by the AIR profile's belt mix) into channel
// 42, which then feeds the belt tensioner, slot 10; so slot 10 must come last.
inline constexpr std::array<DofMapping, 5> beltTable = {{
    {11, longitudinalAccelG, false},
    {12, verticalAccelG, false},
    {13, rollSpeed, false},
    {14, pitchSpeed, false},
    {10, beltSum, false},
}};

inline constexpr DofMapping windMapping = {21, speed, false};

// The effect slots read channel 0, a constant 0.0: they produce only what their chains make of
// it (noise, sines, offsets).
inline constexpr std::array<DofMapping, 6> effectTable = {{
    {15, noChannel, false},
    {16, noChannel, false},
    {17, noChannel, false},
    {18, noChannel, false},
    {19, noChannel, false},
    {20, noChannel, false},
}};

inline constexpr std::array<DofMapping, 10> motionTable = {{
    {0, lateralAccelG, true},
    {1, longitudinalAccelG, true},
    {2, verticalAccelG, true},
    {3, yawSpeed, true},
    {4, rollSpeed, true},
    {5, pitchSpeed, true},
    {6, lateralAccelG, true},
    {7, longitudinalAccelG, true},
    {8, rollPosition, false},
    {9, pitchPosition, false},
}};

}  // namespace tarvelin
