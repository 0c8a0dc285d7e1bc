// Turning the telemetry into the 23 motion cues every cycle: the slot tables, the AIR/GROUND
// cross-fade, the fixed combination of the two profiles, and the soft start after a freeze.

#include <mutex>

#include "core/dof_tables.h"
#include "engine/motion_engine.h"

namespace tarvelin {

void MotionEngine::freezeCues() {
    std::lock_guard<std::mutex> lock(cueMutex);
    freezeCuesLocked();
}

void MotionEngine::freezeCuesLocked() {
    transitionProgress.store(0.0, std::memory_order_relaxed);
    gameData().frozenCues = gameData().cueValues;
}

void MotionEngine::evaluateProfileSlots() {
    GameData& record = gameData();
    auto& air = record.airOutputs;
    auto& ground = record.groundOutputs;
    auto beltWeight = [this](int channel) { return profilAir.beltMix[channel].load(std::memory_order_relaxed); };

    // The belt sum is built from the AIR profile's belt components as they are evaluated, and
    // reaches the tensioner through channel 42 (only these four weights take part).
    double beltSumValue = 0.0;
    for (const DofMapping& mapping : beltTable) {
        if (mapping.slot == 10) record.channels[beltSum] = beltSumValue;
        air[mapping.slot] = profilAir.getActivedof(mapping, 1.0);
        switch (mapping.slot) {
            case 11: beltSumValue += beltWeight(1) * air[11]; break;
            case 12: beltSumValue += beltWeight(2) * air[12]; break;
            case 13: beltSumValue += beltWeight(4) * air[13]; break;
            case 14: beltSumValue += beltWeight(5) * air[14]; break;
            default: break;
        }
    }
    air[windMapping.slot] = profilAir.getActivedof(windMapping, 1.0);
    for (const DofMapping& mapping : effectTable) air[mapping.slot] = profilAir.getActivedof(mapping, 1.0);

    const double airScale = airWeight.load(std::memory_order_relaxed);
    const double groundScale = groundWeight.load(std::memory_order_relaxed);
    for (const DofMapping& mapping : motionTable) air[mapping.slot] = profilAir.getActivedof(mapping, airScale);
    for (const DofMapping& mapping : motionTable) {
        ground[mapping.slot] = profilGround.getActivedof(mapping, groundScale);
    }
}

void MotionEngine::combineProfiles() {
    GameData& record = gameData();
    const auto& air = record.airOutputs;
    const auto& ground = record.groundOutputs;
    auto& cue = record.cueValues;
    // The sums run in this order; the rounding of the published cues depends on it.
    cue[0] = (air[15] + air[0]) + ground[0];
    cue[1] = (air[16] + air[1]) + ground[1];
    cue[2] = (air[17] + air[2]) + ground[2];
    cue[3] = (air[18] + air[3]) + ground[3];
    cue[6] = ground[6] + air[6];
    cue[7] = ground[7] + air[7];
    cue[8] = ground[8] + air[8];
    cue[9] = ground[9] + air[9];
    cue[4] = (((cue[6] + air[4]) + cue[8]) + air[19]) + ground[4];
    cue[5] = (((cue[7] + air[5]) + cue[9]) + air[20]) + ground[5];
    cue[10] = ground[10] + air[10];
    cue[21] = ground[21] + air[21];
}

void MotionEngine::selectProfile() {
    const std::int32_t selected = gameSource.activeProfileSelector();
    const std::int32_t active = activeProfil.load(std::memory_order_relaxed);
    if (selected != active) {
        // A switch during a running fade carries on from the weights as they stand.
        if (!crossFadeActive) {
            crossFadeActive = true;
            airWeight.store(active != 0 ? 0.0 : 1.0, std::memory_order_relaxed);
            groundWeight.store(active != 0 ? 1.0 : 0.0, std::memory_order_relaxed);
        }
        activeProfil.store(selected, std::memory_order_relaxed);
    }
    evaluateProfileSlots();
}

void MotionEngine::stepCrossFade() {
    if (!crossFadeActive) return;
    const std::int32_t active = activeProfil.load(std::memory_order_relaxed);
    double air = airWeight.load(std::memory_order_relaxed);
    double ground = groundWeight.load(std::memory_order_relaxed);
    if (active == 0) {
        air = 2.0 / crossFadeCycles + air;
        ground = 1.0 - air;
    } else if (active == 1) {
        ground = 2.0 / crossFadeCycles + ground;
        air = 1.0 - ground;
    }
    if (air > 1.0 || ground > 1.0) {
        crossFadeActive = false;
        GameData& record = gameData();
        if (active == 0) {
            air = 1.0;
            ground = 0.0;
            record.groundOutputs.fill(0.0);
        } else {
            air = 0.0;
            ground = 1.0;
            (active == 1 ? record.airOutputs : record.groundOutputs).fill(0.0);
        }
    }
    airWeight.store(air, std::memory_order_relaxed);
    groundWeight.store(ground, std::memory_order_relaxed);
}

void MotionEngine::applySoftStart() {
    const double progress = transitionProgress.load(std::memory_order_relaxed);
    if (!(progress < 1.0)) return;
    GameData& record = gameData();
    for (int slot = 0; slot < rigSlotCount; ++slot) {
        record.cueValues[slot] = (record.cueValues[slot] - record.frozenCues[slot]) * progress + record.frozenCues[slot];
    }
    double next = cycleTimer.lastIntervalMs() * (1.0 / transitionDurationMs) + progress;
    if (next > 1.0) next = 1.0;
    transitionProgress.store(next, std::memory_order_relaxed);
}

}  // namespace tarvelin
