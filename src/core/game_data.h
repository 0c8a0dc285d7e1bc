#pragma once
// The telemetry record through which every frame flows: readers write the channels, the
// profile evaluation writes the cue arrays, and the host reads both through the exports.

#include <array>

namespace tarvelin {

inline constexpr int channelCount = 43;
inline constexpr int rigSlotCount = 23;

using CueArray = std::array<double, rigSlotCount>;

// Channel indices, in the order of the record. Index 0 carries no telemetry (the effect slots
// read it as a constant 0.0) and index 42 is the belt sum that the engine computes.
enum Channel : int {
    noChannel = 0,
    lateralSpeed, lateralAccel, lateralAccelG, lateralGravi,
    longitudinalSpeed, longitudinalAccel, longitudinalAccelG, longitudinalGravi,
    verticalSpeed, verticalAccel, verticalAccelG, verticalGravi,
    yawPosition, yawSpeed, yawAccel,
    rollPosition, rollSpeed, rollAccel,
    pitchPosition, pitchSpeed, pitchAccel,
    frontLeftSuspension, frontRightSuspension, rearLeftSuspension, rearRightSuspension,
    engineTorque, rpm, speed, stall, flaps, landingGearTurbulence, landingGear, speedBrakes,
    simtoolsAxis1a, simtoolsAxis2a, simtoolsAxis3a, simtoolsAxis4a,
    simtoolsAxis1b, simtoolsAxis2b, simtoolsAxis3b, simtoolsAxis4b,
    beltSum,
};
static_assert(beltSum == channelCount - 1);

// Names of channels 1..41 at entries 0..40; entries 41 and 42 are null.
extern const char* const gameDataNames[channelCount];

struct GameData {
    double frameTimeMs = 0.0;    // interval between the last two accepted frames
    double reserved = 0.0;
    double gameClockStepMs = 0.0;
    double gameClockS = 0.0;
    std::array<double, channelCount> channels{};
    CueArray cueValues{};         // combined cues of the current cycle
    CueArray previousChannels{};  // channels 0..22 of the previous cycle, for the stale test
    CueArray frozenCues{};        // cues as frozen by the last freeze
    CueArray airOutputs{};        // per-slot results of the AIR profile
    CueArray groundOutputs{};     // per-slot results of the GROUND profile
};

}  // namespace tarvelin
