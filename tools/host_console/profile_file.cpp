#include "host_console/profile_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>
#include <utility>

#include "host_console/text.h"

namespace tarvelin::console {

namespace {

constexpr std::array<const char*, rigSlots> slotNames = {
    "lateral",          "longitudinal",   "vertical",      "yaw",           "roll",
    "pitch",            "roll_lateral",   "pitch_longitudinal", "roll_angle", "pitch_angle",
    "belt",             "belt_longitudinal", "belt_vertical", "belt_roll",   "belt_pitch",
    "effect_lateral",   "effect_longitudinal", "effect_vertical", "effect_yaw", "effect_roll",
    "effect_pitch",     "wind",           "unused",
};

// The belt tensioner sums its four components, each weighted by one belt-mix entry of the AIR
// profile; these are the entries' indexes, named after the components they weigh.
struct BeltComponent {
    const char* name;
    int index;
};
constexpr std::array<BeltComponent, 4> beltComponents = {{
    {"longitudinal", 1},
    {"vertical", 2},
    {"roll", 4},
    {"pitch", 5},
}};

constexpr int firstAirOnlySlot = 10;  // belt, wind and effects come from the AIR profile only
constexpr int motionAxes = 6;         // the slots the rig frame carries as clamped floats
constexpr int inputLimitedSlots = 8;  // the slots whose telemetry passes the input limits
constexpr int angleSlotEnd = 10;      // roll_angle and pitch_angle: input limits fixed at ±360

// What the engine takes for the park and the motion-cancel gain (setParkDuration,
// setGainMotionCancel).
constexpr double longestParkMs = 60000.0;
constexpr double largestMotionCancelGain = 100.0;

enum class Section { none, air, ground, limits, motionCancel, engine, link, fan, safety };

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// A finite decimal number; strtod would also take "inf", "nan" and hexadecimal floats, none of
// which belong in a limit or a weight.
std::optional<double> realNumber(std::string_view text) {
    const std::string copy(trim(text));
    if (copy.empty()) return std::nullopt;
    for (const char c : copy) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E') {
            return std::nullopt;
        }
    }
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<bool> onOff(std::string_view text) {
    const std::string word = lower(trim(text));
    if (word == "on" || word == "yes" || word == "1" || word == "true") return true;
    if (word == "off" || word == "no" || word == "0" || word == "false") return false;
    return std::nullopt;
}

// "COM7" in any case, normalised to upper case; nothing for anything else.
std::optional<std::string> comPortName(std::string_view text) {
    if (text.size() <= 3 || lower(text.substr(0, 3)) != "com") return std::nullopt;
    const auto number = wholeNumber(text.substr(3));
    if (!number || *number < 0 || text[3] == '+' || text[3] == '-') return std::nullopt;
    return "COM" + std::to_string(*number);
}

// Splits "key = value" at the first '='; false when there is none.
bool splitAssignment(std::string_view line, std::string_view& key, std::string_view& value) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    key = trim(line.substr(0, equals));
    value = trim(line.substr(equals + 1));
    return true;
}

// Splits "word rest" at the first white space.
void splitWord(std::string_view text, std::string_view& word, std::string_view& rest) {
    std::size_t end = 0;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    word = text.substr(0, end);
    rest = trim(text.substr(end));
}

const char* sectionName(int profile) { return profile == profileAir ? "[air]" : "[ground]"; }

class Parser {
public:
    explicit Parser(std::vector<ProfileError>& errors) : errors_(errors) {}

    void line(std::string_view text, int number) {
        line_ = number;
        lineStart_ = text.data();
        // A '#' starts a comment; the filter language has no use for the character.
        if (const auto hash = text.find('#'); hash != std::string_view::npos) text = text.substr(0, hash);
        text = trim(text);
        if (text.empty()) return;
        if (text.front() == '[') return sectionHeader(text);
        std::string_view key;
        std::string_view value;
        if (!splitAssignment(text, key, value)) return error("expected 'name = value'");
        setAnything_ = true;
        switch (section_) {
            case Section::none: return error("a setting before the first [section]");
            case Section::air: return profileLine(profileAir, key, value);
            case Section::ground: return profileLine(profileGround, key, value);
            case Section::limits: return limitLine(key, value);
            case Section::motionCancel: return motionCancelLine(key, value);
            case Section::engine: return engineLine(key, value);
            case Section::link: return linkLine(key, value);
            case Section::fan: return fanLine(key, value);
            case Section::safety: return safetyLine(key, value);
        }
    }

    // Checks that need the whole file: settings that are missing, and settings that are valid
    // but cannot have the effect they seem to have.
    void finish() {
        if (fanSection_ > 0 && (!result.fan || result.fan->port.empty())) {
            errors_.push_back({fanSection_, "[fan] has no port: add 'port = COMn' (the fan controller's port) to it, "
                                            "or remove the section"});
        }
        if (result.filters.empty()) {
            warn(0, std::string(setAnything_ ? "the profile sets no filter string" : "the profile sets nothing") +
                        ", so the engine would hold the rig still: add an [air] section with a filter string per axis "
                        "(docs/profile-format.md; profiles/example.profile is one to start from)");
        }
        if (result.udp) {
            result.udp = pendingUdp_;
            if (!result.port.empty()) warn(transportLine_, "transport = udp: the rig port " + result.port + " is not used");
        } else if (seen_.count("group") != 0 || seen_.count("listen_port") != 0) {
            warn(seen_.count("group") != 0 ? seen_["group"] : seen_["listen_port"],
                 "group and listen_port take effect only with transport = udp");
        }
        for (const auto& filter : result.filters) {
            if (filter.profile == profileGround && filter.slot >= firstAirOnlySlot) {
                warn(filter.line, std::string("[ground] ") + slotName(filter.slot) +
                                      ": the engine takes the belt, wind and effect slots from [air] only");
            }
        }
        std::array<bool, rigSlots> rigWarned{};
        std::array<bool, rigSlots> inputWarned{};
        for (const auto& filter : result.filters) {
            const auto slot = static_cast<std::size_t>(filter.slot);
            const std::string name = slotName(filter.slot);
            if (filter.slot < motionAxes && !rigWarned[slot] && result.rigLimit(filter.slot) == nullptr) {
                warn(filter.line, "no rig limit for " + name + ": the rig frame holds it at 0 (add 'rig " + name +
                                      " = LOW HIGH' to [limits])");
                rigWarned[slot] = true;
            }
            if (filter.slot < inputLimitedSlots && !inputWarned[slot] && !hasInputLimit(filter.slot)) {
                warn(filter.line, "no input limit for " + name + ": its telemetry is clamped to 0 before the filter (add 'input " +
                                      name + " = LOW HIGH' to [limits])");
                inputWarned[slot] = true;
            }
        }
    }

    ProfileFile result;

private:
    void error(std::string message) { errors_.push_back({line_, std::move(message)}); }
    void warn(int line, std::string message) { result.warnings.push_back({line, std::move(message)}); }

    // Reports a second setting of the same thing; true when `key` was free.
    bool firstSetting(const std::string& key) {
        const auto [place, inserted] = seen_.emplace(key, line_);
        if (!inserted) error(key + " is already set on line " + std::to_string(place->second));
        return inserted;
    }

    bool hasInputLimit(int slot) const {
        for (const auto& limit : result.inputLimits) {
            if (limit.slot == slot) return true;
        }
        return false;
    }

    void sectionHeader(std::string_view text) {
        if (text.back() != ']') return error("a section header ends with ']'");
        const std::string name = lower(trim(text.substr(1, text.size() - 2)));
        if (name == "air") section_ = Section::air;
        else if (name == "ground") section_ = Section::ground;
        else if (name == "limits") section_ = Section::limits;
        else if (name == "motion_cancel") section_ = Section::motionCancel;
        else if (name == "engine") section_ = Section::engine;
        else if (name == "link") section_ = Section::link;
        else if (name == "fan") {
            section_ = Section::fan;
            if (fanSection_ == 0) fanSection_ = line_;
        }
        else if (name == "safety") section_ = Section::safety;
        else error("unknown section [" + name + "]");
    }

    void profileLine(int profile, std::string_view key, std::string_view value) {
        std::string_view word;
        std::string_view rest;
        splitWord(key, word, rest);
        if (lower(word) == "belt_mix") {
            const int index = beltMixIndex(rest);
            if (index < 0) {
                return error("unknown belt component '" + std::string(rest) +
                             "' (longitudinal, vertical, roll, pitch, or an index 0..42)");
            }
            const auto weight = realNumber(value);
            if (!weight) return error("belt_mix needs a number");
            if (!firstSetting(std::string(sectionName(profile)) + " belt_mix " + lower(rest))) return;
            if (profile == profileGround) {
                warn(line_, "[ground] belt_mix: the belt takes its weights from [air] only");
            } else if (index != 1 && index != 2 && index != 4 && index != 5) {
                warn(line_, "belt_mix " + std::to_string(index) +
                                ": only the weights of longitudinal (1), vertical (2), roll (4) and pitch (5) "
                                "reach the belt");
            }
            result.beltMix.push_back({profile, index, *weight, line_});
            return;
        }
        const int slot = slotFromName(key);
        if (slot < 0) return error("unknown slot '" + std::string(key) + "'");
        if (value.empty()) return error(std::string("slot ") + slotName(slot) + " needs a filter string or 'off'");
        if (!firstSetting(std::string(sectionName(profile)) + " " + slotName(slot))) return;
        if (lower(value) == "off") {
            result.activity.push_back({profile, slot, false, line_});
            return;
        }
        const int column = static_cast<int>(value.data() - lineStart_) + 1;
        result.filters.push_back({profile, slot, std::string(value), line_, column});
        result.activity.push_back({profile, slot, true, line_});
    }

    void limitLine(std::string_view key, std::string_view value) {
        std::string_view kind;
        std::string_view slotText;
        splitWord(key, kind, slotText);
        const std::string which = lower(kind);
        if (which != "input" && which != "rig") return error("a limit is 'input SLOT' or 'rig SLOT'");
        const int slot = slotFromName(slotText);
        if (slot < 0) return error("unknown slot '" + std::string(slotText) + "'");
        std::string_view lowText;
        std::string_view highText;
        splitWord(value, lowText, highText);
        const auto low = realNumber(lowText);
        const auto high = realNumber(highText);
        if (!low || !high) return error("a limit needs two numbers: low high");
        if (*low > *high) return error("the low limit is above the high limit");
        if (!firstSetting(which + " " + slotName(slot))) return;
        if (which == "input" && slot >= inputLimitedSlots && slot < angleSlotEnd) {
            warn(line_, std::string("input ") + slotName(slot) + ": the engine always uses -360 360 for this slot");
        } else if (which == "input" && slot >= angleSlotEnd) {
            warn(line_, std::string("input ") + slotName(slot) + ": only slots 0..7 have input limits");
        } else if (which == "rig" && slot >= motionAxes) {
            warn(line_, std::string("rig ") + slotName(slot) + ": the rig frame clamps only the six motion axes");
        }
        (which == "input" ? result.inputLimits : result.rigLimits).push_back({slot, *low, *high, line_});
    }

    void motionCancelLine(std::string_view key, std::string_view value) {
        const std::string name = lower(key);
        if (name == "active") {
            const auto on = onOff(value);
            if (!on) return error("active is on or off");
            if (firstSetting("motion_cancel active")) result.motionCancel = on;
        } else if (name == "filter" || name == "gain") {
            const auto number = realNumber(value);
            if (!number) return error(name + " needs a number");
            if (name == "filter" && *number < 1.0) return error("filter must be 1 or more (1 passes the cues unfiltered)");
            if (name == "gain" && std::abs(*number) > largestMotionCancelGain) return error("gain must be between -100 and 100");
            if (firstSetting("motion_cancel " + name)) {
                (name == "filter" ? result.motionCancelFilter : result.motionCancelGain) = number;
            }
        } else {
            error("unknown motion_cancel setting '" + name + "'");
        }
    }

    void engineLine(std::string_view key, std::string_view value) {
        const std::string name = lower(key);
        const std::string mode = lower(value);
        if (name == "pacing") {
            if (mode != "precise" && mode != "sleep") return error("pacing is precise or sleep");
            if (firstSetting("pacing")) result.precisePacing = mode == "precise";
        } else if (name == "latency") {
            if (mode != "low" && mode != "paced") return error("latency is low or paced");
            if (firstSetting("latency")) result.lowLatency = mode == "low";
        } else {
            error("unknown engine setting '" + std::string(key) + "'");
        }
    }

    void linkLine(std::string_view key, std::string_view value) {
        const std::string name = lower(key);
        if (name == "port") {
            std::string port;
            if (lower(value) == "auto") {
                port = "auto";
            } else if (const auto com = comPortName(value)) {
                port = *com;
            } else {
                return error("port is auto or COMn");
            }
            if (firstSetting("port")) result.port = port;
        } else if (name == "usb_chip_check") {
            const auto on = onOff(value);
            if (!on) return error("usb_chip_check is on or off");
            if (firstSetting("usb_chip_check")) result.usbChipCheck = on;
        } else if (name == "transport") {
            const std::string transport = lower(value);
            if (transport != "serial" && transport != "udp") return error("transport is serial or udp");
            if (!firstSetting("transport")) return;
            transportLine_ = line_;
            if (transport == "udp") result.udp.emplace();
        } else if (name == "group") {
            // ADDRESS or ADDRESS:51324; the engine sends to no other port.
            std::string_view address = value;
            if (const auto colon = value.find(':'); colon != std::string_view::npos) {
                if (value.substr(colon + 1) != "51324") return error("the engine sends to the group's port 51324 only");
                address = value.substr(0, colon);
            }
            if (!isMulticastGroup(address)) return error("group is a multicast address 224.0.0.0 .. 239.255.255.255");
            if (firstSetting("group")) udpSettings().group = std::string(address);
        } else if (name == "listen_port") {
            const auto port = wholeNumber(value);
            if (!port || *port < 1 || *port > 65535) return error("listen_port is a UDP port 1..65535");
            if (firstSetting("listen_port")) udpSettings().listenPort = *port;
        } else {
            error("unknown link setting '" + std::string(key) + "'");
        }
    }

    // The network settings, kept aside until the file says which transport it wants.
    UdpLinkSettings& udpSettings() { return pendingUdp_; }

    // A dotted quad of decimal numbers in the multicast range.
    static bool isMulticastGroup(std::string_view text) {
        int parts = 0;
        int first = -1;
        std::size_t begin = 0;
        for (;;) {
            const auto end = text.find('.', begin);
            const auto part = wholeNumber(text.substr(begin, end == std::string_view::npos ? end : end - begin));
            if (!part || *part < 0 || *part > 255 || text[begin] == '+' || text[begin] == '-') return false;
            if (++parts == 1) first = *part;
            if (end == std::string_view::npos) break;
            begin = end + 1;
        }
        return parts == 4 && first >= 224 && first <= 239;
    }

    void fanLine(std::string_view key, std::string_view value) {
        const std::string name = lower(key);
        FanSettings& fan = result.fan ? *result.fan : result.fan.emplace();
        if (name == "port") {
            const auto com = comPortName(value);
            if (!com) return error("the fan's port is COMn");
            if (firstSetting("fan port")) {
                fan.port = *com;
                fan.line = line_;
            }
        } else if (name == "baud") {
            const auto baud = wholeNumber(value);
            if (!baud || *baud <= 0) return error("baud is a positive whole number");
            if (firstSetting("fan baud")) fan.baud = *baud;
        } else if (name == "mode") {
            // Data bits 5..8, parity N/E/O, stop bits 1 or 2, as the fan controller's line takes.
            const std::string mode(value);
            const bool valid = mode.size() == 3 && mode[0] >= '5' && mode[0] <= '8' &&
                               std::string("NEOneo").find(mode[1]) != std::string::npos &&
                               (mode[2] == '1' || mode[2] == '2');
            if (!valid) return error("mode is data bits, parity and stop bits, e.g. 8N1");
            if (firstSetting("fan mode")) fan.mode = mode;
        } else if (name == "interval_ms") {
            const auto interval = wholeNumber(value);
            if (!interval || *interval <= 0) return error("interval_ms is a positive whole number");
            if (firstSetting("fan interval_ms")) fan.intervalMs = static_cast<unsigned>(*interval);
        } else {
            error("unknown fan setting '" + std::string(key) + "'");
        }
    }

    void safetyLine(std::string_view key, std::string_view value) {
        std::string_view word;
        std::string_view axisText;
        splitWord(key, word, axisText);
        const std::string name = lower(word);
        if (name == "park_ms" && axisText.empty()) {
            const auto park = realNumber(value);
            if (!park || *park < 0.0 || *park > longestParkMs) {
                return error("park_ms is the park's duration in milliseconds, 0 (the rig holds its last pose) to 60000");
            }
            if (firstSetting("park_ms")) result.parkMs = park;
        } else if (name == "rate") {
            const int axis = slotFromName(axisText);
            if (axis < 0) return error("unknown slot '" + std::string(axisText) + "'");
            if (axis >= motionAxes) return error("rate limits hold the six motion axes only, not " + std::string(slotName(axis)));
            const auto rate = realNumber(value);
            if (!rate || *rate < 0.0) return error("a rate limit is rig units per second, 0 for none");
            if (firstSetting(std::string("rate ") + slotName(axis))) result.rateLimits.push_back({axis, *rate, line_});
        } else {
            error("unknown safety setting '" + std::string(key) + "' (park_ms, or rate AXIS)");
        }
    }

    std::vector<ProfileError>& errors_;
    std::map<std::string, int> seen_;
    UdpLinkSettings pendingUdp_;
    int transportLine_ = 0;
    Section section_ = Section::none;
    int line_ = 0;
    int fanSection_ = 0;  // the line of the first [fan] header
    bool setAnything_ = false;
    const char* lineStart_ = nullptr;
};

}  // namespace

const SlotLimit* ProfileFile::rigLimit(int slot) const {
    for (const auto& limit : rigLimits) {
        if (limit.slot == slot) return &limit;
    }
    return nullptr;
}

int slotFromName(std::string_view name) {
    name = trim(name);
    if (const auto number = wholeNumber(name); number) return *number >= 0 && *number < rigSlots ? *number : -1;
    const std::string wanted = lower(name);
    for (std::size_t i = 0; i < slotNames.size(); ++i) {
        if (wanted == slotNames[i]) return static_cast<int>(i);
    }
    return -1;
}

const char* slotName(int slot) {
    return slot >= 0 && slot < rigSlots ? slotNames[static_cast<std::size_t>(slot)] : "?";
}

int beltMixIndex(std::string_view name) {
    name = trim(name);
    if (const auto number = wholeNumber(name); number) return *number >= 0 && *number < beltMixWeights ? *number : -1;
    const std::string wanted = lower(name);
    for (const auto& component : beltComponents) {
        if (wanted == component.name) return component.index;
    }
    return -1;
}

ProfileFile parseProfileFile(std::string_view text, std::vector<ProfileError>& errors) {
    Parser parser(errors);
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        parser.line(line, ++number);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    parser.finish();
    const auto byLine = [](const ProfileMessage& a, const ProfileMessage& b) { return a.line < b.line; };
    std::stable_sort(parser.result.warnings.begin(), parser.result.warnings.end(), byLine);
    std::stable_sort(errors.begin(), errors.end(), byLine);
    return std::move(parser.result);
}

}  // namespace tarvelin::console
