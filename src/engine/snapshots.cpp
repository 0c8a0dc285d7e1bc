// Recording each cycle for the host, and the exports that hand the records out.

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "engine/motion_engine.h"
#include "tarvelin/motion.h"

namespace tarvelin {

void MotionEngine::recordSnapshots() {
    const GameData& record = gameData();
    CalculationSnapshot calculation;
    for (int slot = 0; slot < rigSlotCount; ++slot) {
        // The belt components and effects (11..20) are not part of the combined cues; their
        // profile outputs are recorded instead.
        const double value = slot >= 11 && slot <= 20 ? record.airOutputs[slot] : record.cueValues[slot];
        calculation.values[slot] = value;
        std::atomic_ref<double>(positionSnapshot[slot]).store(value, std::memory_order_relaxed);
    }
    calcSnapshots.append(calculation);

    AccelerationSnapshot telemetry;
    std::copy(record.channels.begin(), record.channels.end(), telemetry.channels);
    accelSnapshots.append(telemetry);
}

}  // namespace tarvelin

using tarvelin::MotionEngine;

extern "C" {

CalculationSnapshot* GetCalculationSnapshots(int* count) {
    int taken = 0;
    CalculationSnapshot* block = MotionEngine::instance().calcSnapshots.take(taken);
    if (count != nullptr) *count = taken;
    return block;
}

AccelerationSnapshot* GetAccelerationSnapshots(int* count) {
    int taken = 0;
    AccelerationSnapshot* block = MotionEngine::instance().accelSnapshots.take(taken);
    if (count != nullptr) *count = taken;
    return block;
}

// Blocks of both kinds come from malloc, so one function frees either; it is exported under two
// names. It does not touch the engine.
void FreeCalculationSnapshots(void* block) { std::free(block); }

void FreeAccelerationSnapshots(void* block) { std::free(block); }

const double* GetPositionSnapshot(void) { return MotionEngine::instance().positionSnapshot.data(); }

}  // extern "C"
