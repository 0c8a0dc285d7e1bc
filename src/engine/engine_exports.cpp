// The exports that read and set the engine record directly.

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "engine/motion_engine.h"
#include "core/index_rules.h"
#include "serial/bridge.h"
#include "tarvelin/motion.h"

using tarvelin::MotionEngine;

namespace {

// A 0..1 fraction as whole percent, truncated toward zero and held to 0..100. (The fraction is
// clamped before the conversion, which would be undefined for values far out of range.)
double wholePercent(double fraction) {
    const double percent = fraction * 100.0;
    if (!(percent > 0.0)) return 0.0;
    if (percent > 100.0) return 100.0;
    return static_cast<double>(static_cast<std::int32_t>(percent));
}

// Stores `value` through an out-parameter the host passed; a null one receives nothing.
template <typename T>
void store(T* out, T value) {
    if (out != nullptr) *out = value;
}

}  // namespace

extern "C" {

int getGameDataCount(void) {
    MotionEngine::instance();
    return tarvelin::channelCount + 1;
}

void getGameData(double** data, int* count) {
    auto& engine = MotionEngine::instance();
    store(data, engine.gameData().channels.data());
    store(count, tarvelin::channelCount);
}

void getGameDataNames(const char* const** names, int* count) {
    MotionEngine::instance();
    store(names, static_cast<const char* const*>(tarvelin::gameDataNames));
    store(count, tarvelin::channelCount);
}

void getMotionCueData(int kind, double** data, int* count) {
    auto& record = MotionEngine::instance().gameData();
    tarvelin::CueArray* arrays[] = {&record.airOutputs, &record.groundOutputs, &record.cueValues,
                                    &record.frozenCues};
    if (!tarvelin::indexInRange(kind, 4)) return;
    store(data, arrays[kind]->data());
    store(count, tarvelin::rigSlotCount);
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

int setLowLatency(int on) {
    auto& engine = MotionEngine::instance();
    if (on != 0 && on != 1) return 0;
    engine.lowLatency.store(on == 1);
    tarvelin::serial::sendOnSignal(on == 1);
    return 1;
}

int getLowLatency(void) {
    const auto& engine = MotionEngine::instance();
    if (!engine.lowLatency.load()) return 0;
    return engine.followingFrames.load(std::memory_order_relaxed) ? 1 : 2;
}

void SetRigDofLimitValue(int slot, double low, double high) {
    auto& engine = MotionEngine::instance();
    if (tarvelin::indexInRange(slot, tarvelin::rigSlotCount)) engine.rigDofLimits[slot].setIfValid(low, high);
}

void SetInputDofLimitValue(int slot, double low, double high) {
    auto& engine = MotionEngine::instance();
    if (tarvelin::indexInRange(slot, 8)) {
        engine.inputDofLimits[slot].setIfValid(low, high);
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
    return wholePercent(MotionEngine::instance().transitionProgress.load(std::memory_order_relaxed));
}

double getProfilAirTransitionStatus(void) {
    return wholePercent(MotionEngine::instance().airWeight.load(std::memory_order_relaxed));
}

double getProfilGrdTransitionStatus(void) {
    return wholePercent(MotionEngine::instance().groundWeight.load(std::memory_order_relaxed));
}

int getactiveProfil(void) {
    return MotionEngine::instance().activeProfil.load(std::memory_order_relaxed);
}

}  // extern "C"
