#include "filters/motion_profil.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/index_rules.h"
#include "filters/filter_parser.h"

namespace tarvelin {

namespace {

double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

MotionProfil::MotionProfil(std::string_view profileName, const Channels& channels, const InputLimits& inputLimits)
    : name(profileName), channels_(channels), inputLimits_(inputLimits) {
    for (auto& flag : activeDof) flag.store(true, std::memory_order_relaxed);
    for (auto& weight : beltMix) weight.store(0.0, std::memory_order_relaxed);
    for (auto& slot : chains) {
        std::shared_ptr<FilterSys> handle = parseFilterString("VALUE");
        handle->valid.exchange(false);
        slot.exchange(std::move(handle));
    }
}

double MotionProfil::getActivedof(const DofMapping& mapping, double scale) {
    if (!indexInRange(mapping.slot, rigSlotCount) || !indexInRange(mapping.channel, channelCount)) {
        throw std::out_of_range("Index out of range in getActivedof");
    }
    const auto slot = static_cast<std::size_t>(mapping.slot);
    if (!activeDof[slot].load(std::memory_order_relaxed)) return 0.0;

    double input = finiteOrZero(channels_[static_cast<std::size_t>(mapping.channel)]);
    const std::shared_ptr<FilterSys> chain = chains[slot].load();
    if (mapping.useInputLimits) {
        if (!chain->valid.load()) return 0.0 * scale;
        const double low = inputLimits_[slot].low.load(std::memory_order_relaxed);
        const double high = inputLimits_[slot].high.load(std::memory_order_relaxed);
        input = finiteOrZero(low > input ? low : std::min(high, input));
    }
    return evaluate(chain, input, 1.0, 1.0, 1.0) * scale;
}

}  // namespace tarvelin
