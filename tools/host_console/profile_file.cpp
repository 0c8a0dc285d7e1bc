#include "host_console/profile_file.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace tarvelin::console {

namespace {

constexpr std::array<const char*, 23> slotNames = {
    "lateral",          "longitudinal",   "vertical",      "yaw",           "roll",
    "pitch",            "roll_lateral",   "pitch_longitudinal", "roll_angle", "pitch_angle",
    "belt",             "belt_longitudinal", "belt_vertical", "belt_roll",   "belt_pitch",
    "effect_lateral",   "effect_longitudinal", "effect_vertical", "effect_yaw", "effect_roll",
    "effect_pitch",     "wind",           "unused",
};

// The channel names of the telemetry record, for belt-mix lines; index = channel number.
constexpr std::array<const char*, 43> channelNames = {
    "none",
    "lateral_speed",   "lateral_accel",   "lateral_accel_g", "lateral_gravi",
    "longitu_speed",   "longitu_accel",   "longitu_accel_g", "longitu_gravi",
    "vertica_speed",   "vertica_accel",   "vertica_accel_g", "vertica_gravi",
    "yaw_position",    "yaw_speed",       "yaw_accel",
    "roll_position",   "roll_speed",      "roll_accel",
    "pitch_position",  "pitch_speed",     "pitch_accel",
    "fr_lft_susp_pos", "fr_rgt_susp_pos", "re_lft_susp_pos", "re_rgt_susp_pos",
    "engine_torque",   "rpm",             "speed",           "stall",
    "flaps",           "ldg_gear_turb",   "ldg_gear",        "spd_brakes",
    "simtools_axis1a", "simtools_axis2a", "simtools_axis3a", "simtools_axis4a",
    "simtools_axis1b", "simtools_axis2b", "simtools_axis3b", "simtools_axis4b",
    "belt_sum",
};

enum class Section { none, air, ground, limits, motionCancel, engine, link };

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> realNumber(std::string_view text) {
    const std::string copy(trim(text));
    if (copy.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) return std::nullopt;
    return value;
}

std::optional<bool> onOff(std::string_view text) {
    const std::string word = lower(trim(text));
    if (word == "on" || word == "yes" || word == "1" || word == "true") return true;
    if (word == "off" || word == "no" || word == "0" || word == "false") return false;
    return std::nullopt;
}

int channelFromName(std::string_view name) {
    if (const auto number = wholeNumber(name); number && *number >= 0 && *number < 43) return *number;
    const std::string wanted = lower(name);
    for (std::size_t i = 0; i < channelNames.size(); ++i) {
        if (wanted == channelNames[i]) return static_cast<int>(i);
    }
    return -1;
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

class Parser {
public:
    explicit Parser(std::vector<ProfileError>& errors) : errors_(errors) {}

    void line(std::string_view text, int number) {
        line_ = number;
        // A '#' starts a comment, except inside a filter string, which never contains one.
        if (const auto hash = text.find('#'); hash != std::string_view::npos) text = text.substr(0, hash);
        text = trim(text);
        if (text.empty()) return;
        if (text.front() == '[') return sectionHeader(text);
        std::string_view key;
        std::string_view value;
        if (!splitAssignment(text, key, value)) return error("expected 'name = value'");
        switch (section_) {
            case Section::none: return error("a setting before the first [section]");
            case Section::air: return profileLine(profileAir, key, value);
            case Section::ground: return profileLine(profileGround, key, value);
            case Section::limits: return limitLine(key, value);
            case Section::motionCancel: return motionCancelLine(key, value);
            case Section::engine: return engineLine(key, value);
            case Section::link: return linkLine(key, value);
        }
    }

    ProfileFile result;

private:
    void error(std::string message) { errors_.push_back({line_, std::move(message)}); }

    void sectionHeader(std::string_view text) {
        if (text.back() != ']') return error("a section header ends with ']'");
        const std::string name = lower(trim(text.substr(1, text.size() - 2)));
        if (name == "air") section_ = Section::air;
        else if (name == "ground") section_ = Section::ground;
        else if (name == "limits") section_ = Section::limits;
        else if (name == "motion_cancel") section_ = Section::motionCancel;
        else if (name == "engine") section_ = Section::engine;
        else if (name == "link") section_ = Section::link;
        else error("unknown section [" + name + "]");
    }

    void profileLine(int profile, std::string_view key, std::string_view value) {
        std::string_view word;
        std::string_view rest;
        splitWord(key, word, rest);
        if (lower(word) == "belt_mix") {
            const int channel = channelFromName(rest);
            if (channel < 0) return error("unknown channel '" + std::string(rest) + "' in belt_mix");
            const auto weight = realNumber(value);
            if (!weight) return error("belt_mix needs a number");
            result.beltMix.push_back({profile, channel, *weight, line_});
            return;
        }
        const int slot = slotFromName(key);
        if (slot < 0) return error("unknown slot '" + std::string(key) + "'");
        if (lower(value) == "off") {
            result.activity.push_back({profile, slot, false, line_});
            return;
        }
        if (value.empty()) return error("slot " + std::string(key) + " needs a filter string or 'off'");
        result.filters.push_back({profile, slot, std::string(value), line_});
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
        (which == "input" ? result.inputLimits : result.rigLimits).push_back({slot, *low, *high, line_});
    }

    void motionCancelLine(std::string_view key, std::string_view value) {
        const std::string name = lower(key);
        if (name == "active") {
            result.motionCancel = onOff(value);
            if (!result.motionCancel) error("active is on or off");
        } else if (name == "filter" || name == "gain") {
            const auto number = realNumber(value);
            if (!number) return error(name + " needs a number");
            if (name == "filter" && *number < 1.0) return error("filter must be 1 or more (1 passes the cues unfiltered)");
            (name == "filter" ? result.motionCancelFilter : result.motionCancelGain) = number;
        } else {
            error("unknown motion_cancel setting '" + name + "'");
        }
    }

    void engineLine(std::string_view key, std::string_view value) {
        if (lower(key) != "pacing") return error("unknown engine setting '" + std::string(key) + "'");
        const std::string mode = lower(value);
        if (mode == "precise") result.precisePacing = true;
        else if (mode == "sleep") result.precisePacing = false;
        else error("pacing is precise or sleep");
    }

    void linkLine(std::string_view key, std::string_view value) {
        if (lower(key) != "port") return error("unknown link setting '" + std::string(key) + "'");
        const std::string port(value);
        if (lower(port) == "auto") {
            result.port = "auto";
        } else if (port.size() > 3 && (port.rfind("COM", 0) == 0) && wholeNumber(std::string_view(port).substr(3))) {
            result.port = port;
        } else {
            error("port is auto or COMn");
        }
    }

    std::vector<ProfileError>& errors_;
    Section section_ = Section::none;
    int line_ = 0;
};

}  // namespace

int slotFromName(std::string_view name) {
    name = trim(name);
    if (const auto number = wholeNumber(name); number) return *number >= 0 && *number < 23 ? *number : -1;
    const std::string wanted = lower(name);
    for (std::size_t i = 0; i < slotNames.size(); ++i) {
        if (wanted == slotNames[i]) return static_cast<int>(i);
    }
    return -1;
}

const char* slotName(int slot) { return slot >= 0 && slot < 23 ? slotNames[static_cast<std::size_t>(slot)] : "?"; }

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
    return std::move(parser.result);
}

}  // namespace tarvelin::console
