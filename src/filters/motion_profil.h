#pragma once
// A motion profile: for each of the rig's 23 slots, whether the slot is active and the filter
// chain its telemetry input passes through, plus the weights of the belt mix. The engine holds
// three (AIR, GROUND and the unused Transition); the game-source thread evaluates slots of the
// first two every cycle while host threads reconfigure them.

#include <array>
#include <atomic>
#include <string>
#include <string_view>

#include "core/dof_limit.h"
#include "core/dof_mapping.h"
#include "core/game_data.h"
#include "filters/chain_slot.h"

namespace tarvelin {

class MotionProfil {
public:
    using Channels = std::array<double, channelCount>;
    using InputLimits = std::array<DofLimit, rigSlotCount>;

    // Every slot starts active, with a one-node VALUE chain that is not valid (it yields 0.0
    // until the host installs a chain), and every belt-mix weight 0.0. The profile reads its
    // inputs from `channels` and clamps them with `inputLimits`; both must outlive it.
    MotionProfil(std::string_view profileName, const Channels& channels, const InputLimits& inputLimits);

    MotionProfil(const MotionProfil&) = delete;
    MotionProfil& operator=(const MotionProfil&) = delete;

    // The slot's motion value for the current telemetry: the mapped channel, clamped to the
    // slot's input limits when the mapping asks for it, through the slot's chain, times scale.
    // An inactive slot gives 0.0 without advancing its chain; so does a slot with limits whose
    // chain is not valid. A telemetry value (or clamp result) that is not finite enters the
    // chain as 0.0, so that it cannot poison the filters' state for good.
    // Throws std::out_of_range ("Index out of range in getActivedof") for a slot outside
    // 0..22, or a channel outside the record. Game-source thread only (it advances the
    // chain's state); does not allocate.
    double getActivedof(const DofMapping& mapping, double scale);

    std::string name;
    // Written by host setters, read by the game-source thread; relaxed per-value atomics.
    std::array<std::atomic<bool>, rigSlotCount> activeDof;
    std::array<std::atomic<double>, channelCount> beltMix;
    std::array<ChainSlot, rigSlotCount> chains;

private:
    const Channels& channels_;
    const InputLimits& inputLimits_;
};

}  // namespace tarvelin
