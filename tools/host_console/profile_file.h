#pragma once
// The console's profile file: a plain text description of everything a rig owner tunes, applied
// to the engine through its exports. The format is documented in docs/profile-format.md.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvelin::console {

inline constexpr int profileAir = 0;
inline constexpr int profileGround = 1;

struct SlotFilter {
    int profile = profileAir;
    int slot = 0;
    std::string filter;
    int line = 0;
};

struct SlotActivity {
    int profile = profileAir;
    int slot = 0;
    bool active = true;
    int line = 0;
};

struct BeltMixWeight {
    int profile = profileAir;
    int channel = 0;
    double weight = 0.0;
    int line = 0;
};

struct SlotLimit {
    int slot = 0;
    double low = 0.0;
    double high = 0.0;
    int line = 0;
};

struct ProfileFile {
    std::vector<SlotFilter> filters;
    std::vector<SlotActivity> activity;
    std::vector<BeltMixWeight> beltMix;
    std::vector<SlotLimit> inputLimits;
    std::vector<SlotLimit> rigLimits;
    std::optional<bool> motionCancel;
    std::optional<double> motionCancelFilter;
    std::optional<double> motionCancelGain;
    std::optional<bool> precisePacing;
    std::string port;  // "COMn", "auto", or empty for no choice
};

struct ProfileError {
    int line = 0;
    std::string message;
};

// Parses a profile file. Every line that cannot be understood adds an error with its line
// number; the lines that can are kept, so that one run reports every mistake at once.
ProfileFile parseProfileFile(std::string_view text, std::vector<ProfileError>& errors);

// The rig slot a profile file names: a number 0..22 or one of the slot names; -1 when unknown.
int slotFromName(std::string_view name);
const char* slotName(int slot);

}  // namespace tarvelin::console
