// The exports that read and set the engine record directly.

#include <algorithm>
#include <atomic>

#include "engine/motion_engine.h"
#include "tarvelin/motion.h"

using tarvelin::MotionEngine;

namespace {

// Index rules of the setters: the index is tested as an unsigned number, so a negative one is
// out of range like any other.
bool inRange(int index, int count) {
    return static_cast<unsigned>(index) < static_cast<unsigned>(count);
}

}  // namespace

extern "C" {

int getGameDataCount(void) {
    MotionEngine::instance();
    return tarvelin::channelCount + 1;
}

void getGameData(double** data, int* count) {
    auto& engine = MotionEngine::instance();
    *data = engine.gameData().channels.data();
    *count = tarvelin::channelCount;
}

void getGameDataNames(const char* const** names, int* count) {
    MotionEngine::instance();
    *names = tarvelin::gameDataNames;
    *count = tarvelin::channelCount;
}

void getMotionCueData(int kind, double** data, int* count) {
    auto& record = MotionEngine::instance().gameData();
    tarvelin::CueArray* arrays[] = {&record.airOutputs, &record.groundOutputs, &record.cueValues,
                                    &record.frozenCues};
    if (!inRange(kind, 4)) return;
    *data = arrays[kind]->data();
    *count = tarvelin::rigSlotCount;
}

double getGameTimeFrame(void) {
    // The game-source thread writes the field every frame; read it as one whole value.
    return std::atomic_ref<double>(MotionEngine::instance().gameData().frameTimeMs).load(std::memory_order_relaxed);
}

double getMotionDataTimeFrame(void) {
    return MotionEngine::instance().cycleTimer.lastIntervalMs();
}

void setTimerPrecision(int mode) {
    MotionEngine::instance().cycleTimer.precisePacing.store(mode, std::memory_order_relaxed);
}

void SetRigDofLimitValue(int slot, double low, double high) {
    auto& engine = MotionEngine::instance();
    if (inRange(slot, tarvelin::rigSlotCount)) engine.rigDofLimits[slot].set(low, high);
}

void SetInputDofLimitValue(int slot, double low, double high) {
    auto& engine = MotionEngine::instance();
    if (inRange(slot, 8)) {
        engine.inputDofLimits[slot].set(low, high);
    } else if (slot == 8 || slot == 9) {
        // Slots 8 and 9 take angles that wrap; their input range is fixed to a full turn either way.
        engine.inputDofLimits[slot].set(-360.0, 360.0);
    }
}

void getOutputData(unsigned char* buffer) {
    auto& engine = MotionEngine::instance();
    if (buffer == nullptr) return;
    const auto frame = engine.rigFrame.load();
    std::copy(frame.begin(), frame.end(), buffer);
}

double getTransitionStatus(void) {
    return MotionEngine::instance().transitionProgress.load(std::memory_order_relaxed) * 100.0;
}

double getProfilAirTransitionStatus(void) {
    return MotionEngine::instance().airWeight.load(std::memory_order_relaxed) * 100.0;
}

double getProfilGrdTransitionStatus(void) {
    return MotionEngine::instance().groundWeight.load(std::memory_order_relaxed) * 100.0;
}

int getactiveProfil(void) {
    return MotionEngine::instance().activeProfil.load(std::memory_order_relaxed);
}

}  // extern "C"
