#include "host_console/profile_applier.h"

namespace tarvelin::console {

std::vector<RejectedFilter> applyProfile(const EngineApi& api, const ProfileFile& profile) {
    std::vector<RejectedFilter> rejected;
    for (const auto& filter : profile.filters) {
        if (api.setcheckFilterstring(filter.profile, filter.slot, filter.filter.c_str()) != 1) {
            rejected.push_back({filter.line, filter.profile, filter.slot, filter.filter, filter.column});
        }
    }
    for (const auto& activity : profile.activity) api.setActiveAxis(activity.profile, activity.slot, activity.active);
    for (const auto& weight : profile.beltMix) api.setBelt_Mix(weight.profile, weight.index, weight.weight);
    for (const auto& limit : profile.inputLimits) api.SetInputDofLimitValue(limit.slot, limit.low, limit.high);
    for (const auto& limit : profile.rigLimits) api.SetRigDofLimitValue(limit.slot, limit.low, limit.high);
    // The filter and the gain are ignored while motion cancelling is off, and switching it on
    // resets the filter: on first, then the two values.
    if (profile.motionCancel) api.activateMotionCancel(*profile.motionCancel);
    if (profile.motionCancelFilter) api.setFilterMotionCancel(*profile.motionCancelFilter);
    if (profile.motionCancelGain) api.setGainMotionCancel(*profile.motionCancelGain);
    if (profile.parkMs) api.setParkDuration(*profile.parkMs);
    for (const auto& rate : profile.rateLimits) api.SetRigDofRateLimit(rate.axis, rate.unitsPerSecond);
    return rejected;
}

std::string describeSlot(int profile, int slot) {
    return std::string(profile == profileAir ? "[air] " : "[ground] ") + slotName(slot);
}

}  // namespace tarvelin::console
