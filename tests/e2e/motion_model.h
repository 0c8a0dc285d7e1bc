#pragma once
// What the engine must make of the emulator's drive, worked out from the rules of the BeamNG
// reader, the gravity split, the profile evaluation and the rig frame, apart from the engine's
// own code: the end-to-end tests hold the engine's snapshots, rig frames and rig pose against it.
//
// The model knows only memoryless filter chains (each slot's chain is given as the function it
// computes), so that every cycle's cues follow from that cycle's channels alone.

#include <array>
#include <cstdint>
#include <vector>

#include "vehicle_motion.h"

namespace tarvelin::test {

inline constexpr int modelChannels = 43;
inline constexpr int modelSlots = 23;

using ChannelValues = std::array<double, modelChannels>;
using SlotValues = std::array<double, modelSlots>;
using FrameBody = std::array<std::uint8_t, 34>;  // a rig frame without its check field

// The channels after one "BNG1" datagram of `motion`, as the emulator encodes it, with the
// gravity split in the sum form. The channels BeamNG does not send stay 0.0.
ChannelValues beamNgChannels(const emulator::VehicleMotion& motion);

struct SlotChain {
    int profile;  // 0 AIR, 1 GROUND
    int slot;
    const char* text;            // the filter string installed on the slot
    double (*apply)(double x);   // what that string computes
};

struct Range {
    double low;
    double high;
};

struct RigSetup {
    std::vector<SlotChain> chains;  // slots without a chain yield 0.0
    std::array<Range, 8> inputLimits;
    std::array<Range, 6> rigLimits;
    std::array<double, modelChannels> airBeltMix;
    double poseGain;
};

// One cycle with the AIR profile leading alone (weights 1 and 0) and the soft start complete.
struct Evaluation {
    double beltSum = 0.0;  // channel 42
    SlotValues air{};
    SlotValues ground{};
    SlotValues cues{};
};
Evaluation evaluate(const RigSetup& setup, const ChannelValues& channels);

// The calculation record of that cycle: the cues, with the AIR outputs in entries 11 to 20.
SlotValues calculationRecord(const Evaluation& evaluation);

// The rig frame built from these cues, before the link replaces its last two bytes.
FrameBody rigFrameBody(const SlotValues& cues, const RigSetup& setup);

// The fan byte of a wind cue.
std::uint8_t fanByte(double windCue);

}  // namespace tarvelin::test
