// Turning the telemetry into the 23 motion cues every cycle: the slot tables, the AIR/GROUND
// cross-fade, the fixed combination of the two profiles, and the soft start after a freeze.

#include <cmath>
#include <mutex>

#include "core/dof_tables.h"
#include "engine/motion_engine.h"

namespace tarvelin {

namespace {

// A filter that overflows, or a sum of huge outputs, must not put inf or NaN into the cues the
// host reads and the rig follows, nor send the axis to 0: such a value keeps what it replaces,
// the slot's last finite value.
double finiteOr(double value, double previous) { return std::isfinite(value) ? value : previous; }

}  // namespace

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
        if (mapping.slot == 10) record.channels[beltSum] = finiteOr(beltSumValue, record.channels[beltSum]);
        air[mapping.slot] = finiteOr(profilAir.getActivedof(mapping, 1.0), air[mapping.slot]);
        switch (mapping.slot) {
            case 11: beltSumValue += beltWeight(1) * air[11]; break;
            case 12: beltSumValue += beltWeight(2) * air[12]; break;
            case 13: beltSumValue += beltWeight(4) * air[13]; break;
            case 14: beltSumValue += beltWeight(5) * air[14]; break;
            default: break;
        }
    }
    air[windMapping.slot] = finiteOr(profilAir.getActivedof(windMapping, 1.0), air[windMapping.slot]);
    for (const DofMapping& mapping : effectTable) {
        air[mapping.slot] = finiteOr(profilAir.getActivedof(mapping, 1.0), air[mapping.slot]);
    }

    const double airScale = airWeight.load(std::memory_order_relaxed);
    const double groundScale = groundWeight.load(std::memory_order_relaxed);
    for (const DofMapping& mapping : motionTable) {
        air[mapping.slot] = finiteOr(profilAir.getActivedof(mapping, airScale), air[mapping.slot]);
    }
    for (const DofMapping& mapping : motionTable) {
        ground[mapping.slot] = finiteOr(profilGround.getActivedof(mapping, groundScale), ground[mapping.slot]);
    }
}

void MotionEngine::combineProfiles() {
    GameData& record = gameData();
    const auto& air = record.airOutputs;
    const auto& ground = record.groundOutputs;
    auto& cue = record.cueValues;
    // The sums run in this order; the rounding of the published cues depends on it. Finite
    // outputs can still add up beyond the double range.
    cue[0] = finiteOr((air[15] + air[0]) + ground[0], cue[0]);
    cue[1] = finiteOr((air[16] + air[1]) + ground[1], cue[1]);
    cue[2] = finiteOr((air[17] + air[2]) + ground[2], cue[2]);
    cue[3] = finiteOr((air[18] + air[3]) + ground[3], cue[3]);
    cue[6] = finiteOr(ground[6] + air[6], cue[6]);
    cue[7] = finiteOr(ground[7] + air[7], cue[7]);
    cue[8] = finiteOr(ground[8] + air[8], cue[8]);
    cue[9] = finiteOr(ground[9] + air[9], cue[9]);
    cue[4] = finiteOr((((cue[6] + air[4]) + cue[8]) + air[19]) + ground[4], cue[4]);
    cue[5] = finiteOr((((cue[7] + air[5]) + cue[9]) + air[20]) + ground[5], cue[5]);
    cue[10] = finiteOr(ground[10] + air[10], cue[10]);
    cue[21] = finiteOr(ground[21] + air[21], cue[21]);
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
        const double live = record.cueValues[slot];
        const double frozen = record.frozenCues[slot];
        double blended = (live - frozen) * progress + frozen;
        // The difference of two huge cues of opposite sign overflows; weighing each on its own
        // does not.
        if (!std::isfinite(blended)) blended = finiteOr(live * progress + frozen * (1.0 - progress), frozen);
        record.cueValues[slot] = blended;
    }
    // The blend advances by the length of the cycle. After a pause (a search for the game, a
    // rig that was not ready, a reset) the timer's last interval spans the whole pause and
    // would end the blend at once, so the cycles until the timer measures one cycle again count
    // as one period each.
    const double stepMs = pacedCyclesInARow >= 2 ? cycleTimer.lastIntervalMs() : FrameTimer::periodUs / 1000.0;
    double next = stepMs * (1.0 / transitionDurationMs) + progress;
    if (next > 1.0) next = 1.0;
    transitionProgress.store(next, std::memory_order_relaxed);
}

}  // namespace tarvelin
