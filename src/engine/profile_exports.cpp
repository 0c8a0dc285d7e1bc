// The exports that configure the motion profiles: filter strings, active axes, belt mix.

#include <cmath>
#include <memory>

#include "engine/motion_engine.h"
#include "core/index_rules.h"
#include "filters/filter_parser.h"
#include "tarvelin/motion.h"

using tarvelin::MotionEngine;
using tarvelin::MotionProfil;

namespace {

// Profile 0 is AIR, 1 GROUND; "Transition" has no number. Null for any other number.
MotionProfil* profileByNumber(MotionEngine& engine, int profile) {
    switch (profile) {
    case 0:
        return &engine.profilAir;
    case 1:
        return &engine.profilGround;
    default:
        return nullptr;
    }
}

}  // namespace

extern "C" {

int setcheckFilterstring(int profile, int slot, const char* filter) {
    auto& engine = MotionEngine::instance();
    engine.freezeCues();
    // Publishing stays suspended until a string is installed: after a rejected one the slot
    // still runs its old chain, which is not what the host asked for, so the hold stays.
    engine.outputHeld.exchange(true);

    // A null pointer is read as an empty string, which is not valid.
    std::shared_ptr<tarvelin::FilterSys> chain = tarvelin::parseFilterString(tarvelin::filterTextOf(filter));
    if (!chain->valid.load()) return 0;

    MotionProfil* target = profileByNumber(engine, profile);
    if (target == nullptr || !tarvelin::indexInRange(slot, tarvelin::rigSlotCount)) return 0;

    // The previous chain is released here, outside the slot's lock; an evaluation still
    // running on it keeps it alive until it ends.
    chain = target->chains[static_cast<unsigned>(slot)].exchange(std::move(chain));
    chain.reset();

    engine.outputHeld.exchange(false);
    return 1;
}

void setActiveAxis(int profile, int slot, bool active) {
    auto& engine = MotionEngine::instance();
    MotionProfil* target = profileByNumber(engine, profile);
    if (target != nullptr && tarvelin::indexInRange(slot, tarvelin::rigSlotCount)) {
        target->activeDof[static_cast<unsigned>(slot)].store(active, std::memory_order_relaxed);
    }
    // Also when nothing was stored: the host relies on every call restarting the soft start.
    engine.freezeCues();
}

void setBelt_Mix(int profile, int channel, double weight) {
    auto& engine = MotionEngine::instance();
    MotionProfil* target = profileByNumber(engine, profile);
    // A weight that is not finite would turn the belt's sum, and with it the belt, into NaN.
    if (target != nullptr && tarvelin::indexInRange(channel, tarvelin::channelCount) && std::isfinite(weight)) {
        target->beltMix[static_cast<unsigned>(channel)].store(weight, std::memory_order_relaxed);
    }
}

}  // extern "C"
