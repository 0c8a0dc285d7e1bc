#include "games/condor2_reader.h"

#include <algorithm>
#include <cmath>

#include "games/gravity_split.h"
#include "games/text_number.h"
#include "games/udp_reading.h"

namespace tarvelin {

namespace {

// In the order of Condor2Key.
constexpr std::string_view keyNames[condor2KeyCount] = {
    "time",        "slipball",    "altitude",    "vario",    "evario",   "nettovario",     "integrator",
    "compass",     "turnrate",    "yawstringangle", "radiofrequency", "yaw", "pitch",     "bank",
    "quaternionx", "quaterniony", "quaternionz", "ax",       "ay",       "az",             "vx",
    "vy",          "vz",          "rollrate",    "pitchrate", "yawrate", "gforce",         "height",
    "wheelheight", "turbulencestrength", "surfaceroughness", "hudmessages", "flaps", "mc", "water",
};

constexpr std::size_t notAKey = condor2KeyCount;

std::size_t keyIndex(std::string_view name) {
    for (std::size_t i = 0; i < condor2KeyCount; ++i) {
        if (keyNames[i] == name) return i;
    }
    return notAKey;
}

// Truncated toward zero, within the range of the integer.
std::int32_t truncatedFlaps(float value) {
    constexpr float limit = 2147483520.0f;  // the largest float below 2^31
    return static_cast<std::int32_t>(std::clamp(value, -limit, limit));
}

}  // namespace

void Condor2Values::take(std::string_view text) {
    while (!text.empty()) {
        const std::size_t lineEnd = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(std::min(lineEnd + 1, text.size()));

        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::size_t key = keyIndex(line.substr(0, equals));
        if (key == notAKey) continue;
        const std::string_view valueText = line.substr(equals + 1);
        switch (static_cast<Condor2Key>(key)) {
            case Condor2Key::hudmessages: {
                std::string_view message = valueText.substr(0, valueText.find('\r'));
                hudLength_ = std::min(message.size(), hudCapacity);
                std::copy_n(message.begin(), hudLength_, hud_.begin());
                break;
            }
            case Condor2Key::flaps: flaps_ = truncatedFlaps(leadingFloat(valueText).value_or(0.0f)); break;
            default: values_[key] = leadingFloat(valueText).value_or(0.0f); break;
        }
    }
}

void Condor2Values::fill(GameData& record) const {
    auto& c = record.channels;
    const auto stored = [this](Condor2Key key) { return static_cast<double>(value(key)); };
    c[pitchPosition] = degreesFromRadians(stored(Condor2Key::pitch));
    c[rollPosition] = degreesFromRadians(stored(Condor2Key::bank)) * -1.0;
    c[yawPosition] = degreesFromRadians(stored(Condor2Key::yaw)) - 180.0;
    c[lateralAccel] = stored(Condor2Key::ax);
    c[longitudinalAccel] = stored(Condor2Key::ay);
    c[verticalAccel] = stored(Condor2Key::az);
    c[lateralSpeed] = stored(Condor2Key::vx);
    c[longitudinalSpeed] = stored(Condor2Key::vy);
    c[verticalSpeed] = stored(Condor2Key::vz);
    c[rollSpeed] = degreesFromRadians(stored(Condor2Key::rollrate));
    c[pitchSpeed] = degreesFromRadians(stored(Condor2Key::pitchrate));
    c[yawSpeed] = degreesFromRadians(stored(Condor2Key::yawrate));
}

bool applyCondor2Datagram(std::span<const std::uint8_t> datagram, Condor2Values& stored, GameData& record) {
    if (datagram.size() < condor2MinimumSize) return false;
    std::string_view text(reinterpret_cast<const char*>(datagram.data()), datagram.size());
    stored.take(text.substr(0, text.find('\0')));
    stored.fill(record);
    return true;
}

bool Condor2Reader::read(GameData& record) {
    const auto datagram = takeDatagram(*this);
    if (datagram.size() < condor2MinimumSize) return false;
    stampFrame(*this, record);
    applyCondor2Datagram(datagram, stored, record);
    applyGravitySplit(record, GravityForm::sum);
    return true;
}

}  // namespace tarvelin
