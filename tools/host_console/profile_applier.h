#pragma once
// Hands a parsed profile file to the engine through its exports.

#include <string>
#include <vector>

#include "host_console/engine_api.h"
#include "host_console/profile_file.h"

namespace tarvelin::console {

// A filter string the engine refused (setcheckFilterstring returned 0).
struct RejectedFilter {
    int line = 0;
    int profile = profileAir;
    int slot = 0;
    std::string filter;
    int column = 0;
};

// Installs every filter string of the file and sets the active slots, belt-mix weights, input
// and rig limits, motion cancelling, the park and the rate limits. Returns the filter strings the engine rejected, in file
// order; everything else is applied even then, so that one pass reports every rejection.
// The link, the fan and the pacing are left to the caller, which applies them when it starts
// the parts they belong to.
std::vector<RejectedFilter> applyProfile(const EngineApi& api, const ProfileFile& profile);

// "[ground] pitch" for messages.
std::string describeSlot(int profile, int slot);

}  // namespace tarvelin::console
