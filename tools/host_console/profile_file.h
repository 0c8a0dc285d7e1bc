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
inline constexpr int rigSlots = 23;
inline constexpr int beltMixWeights = 43;

struct SlotFilter {
    int profile = profileAir;
    int slot = 0;
    std::string filter;
    int line = 0;
    int column = 0;  // where the filter string begins on its line, counted from 1
};

struct SlotActivity {
    int profile = profileAir;
    int slot = 0;
    bool active = true;
    int line = 0;
};

struct BeltMixWeight {
    int profile = profileAir;
    int index = 0;  // the engine's belt-mix index (see beltMixIndex)
    double weight = 0.0;
    int line = 0;
};

struct SlotLimit {
    int slot = 0;
    double low = 0.0;
    double high = 0.0;
    int line = 0;
};

// How fast one motion axis may move, in rig units per second.
struct AxisRate {
    int axis = 0;
    double unitsPerSecond = 0.0;
    int line = 0;
};

struct FanSettings {
    std::string port;  // "COMn"
    int baud = 9600;
    std::string mode = "8N1";
    unsigned intervalMs = 100;
    int line = 0;  // of the port setting
};

// The rig link over the network: the multicast group the engine sends to (its port is always
// 51324) and the port it hears the controller's answers on.
struct UdpLinkSettings {
    std::string group = "232.11.12.14";
    int listenPort = 53241;
};

struct ProfileMessage {
    int line = 0;  // 0: the file as a whole
    std::string message;
};
using ProfileError = ProfileMessage;

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
    std::optional<bool> lowLatency;  // [engine] latency = low|paced
    std::string port;  // "COMn", "auto", or empty for no choice
    std::optional<bool> usbChipCheck;
    std::optional<UdpLinkSettings> udp;  // set: the link runs over the network (transport = udp)
    std::optional<FanSettings> fan;
    std::optional<double> parkMs;   // [safety]: the park's duration, 0 holds the last pose
    std::vector<AxisRate> rateLimits;
    // Settings that parse but will not do what they seem to (a slot the engine never reads in
    // that profile, an axis whose limits hold it at zero); they do not stop the profile.
    std::vector<ProfileMessage> warnings;

    // The rig limit of `slot`, when the file sets one.
    const SlotLimit* rigLimit(int slot) const;
};

// Parses a profile file. Every line that cannot be understood adds an error with its line
// number; the lines that can are kept, so that one run reports every mistake at once.
ProfileFile parseProfileFile(std::string_view text, std::vector<ProfileError>& errors);

// The rig slot a profile file names: a number 0..22 or one of the slot names; -1 when unknown.
int slotFromName(std::string_view name);
const char* slotName(int slot);

// The belt-mix index a profile file names: one of the belt components "longitudinal",
// "vertical", "roll", "pitch" (the weights the belt tensioner sums), or a number 0..42; -1
// when unknown.
int beltMixIndex(std::string_view name);

}  // namespace tarvelin::console
