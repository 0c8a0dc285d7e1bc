#include "games/dcs_reader.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "games/gravity_split.h"
#include "games/text_number.h"
#include "games/udp_reading.h"

namespace tarvelin {

namespace {

constexpr std::size_t fieldCount = 25;
constexpr std::size_t shortestField = 6;

enum class Unit { asIs, gravities, radians, notUsed, clock };

struct Field {
    Channel channel;
    Unit unit;
};

constexpr Field fields[fieldCount] = {
    {longitudinalAccelG, Unit::gravities},
    {lateralAccelG, Unit::gravities},
    {verticalAccelG, Unit::gravities},
    {lateralSpeed, Unit::asIs},
    {longitudinalSpeed, Unit::asIs},
    {verticalSpeed, Unit::asIs},
    {yawSpeed, Unit::radians},
    {rollSpeed, Unit::radians},
    {pitchSpeed, Unit::radians},
    {yawPosition, Unit::radians},
    {rollPosition, Unit::radians},
    {pitchPosition, Unit::radians},
    {noChannel, Unit::notUsed},
    {frontLeftSuspension, Unit::asIs},
    {noChannel, Unit::notUsed},
    {rearLeftSuspension, Unit::asIs},
    {noChannel, Unit::notUsed},
    {noChannel, Unit::notUsed},
    {noChannel, Unit::notUsed},
    {noChannel, Unit::notUsed},
    {noChannel, Unit::notUsed},
    {noChannel, Unit::notUsed},
    {noChannel, Unit::notUsed},
    {noChannel, Unit::notUsed},
    {noChannel, Unit::clock},
};

// Space to ';': the characters a field and its separators are made of.
bool withinFieldCharacters(char c) { return c >= 0x20 && c <= 0x3B; }

// Walks the line one field at a time, consuming each field with its terminating character.
class FieldCursor {
public:
    explicit FieldCursor(std::string_view line) : rest_(line) {}

    double next() {
        std::size_t length = rest_.find(' ');
        if (length == std::string_view::npos) {
            // The last field ends at the line's end mark; without one there is nothing to read.
            const auto end = std::find_if_not(rest_.begin(), rest_.end(), withinFieldCharacters);
            if (end == rest_.end()) return 0.0;
            length = static_cast<std::size_t>(end - rest_.begin());
        }
        // Nothing is consumed, so every later field of the line reads 0.0 as well.
        if (length < shortestField) return 0.0;
        const auto number = leadingDouble(rest_.substr(0, length));
        rest_.remove_prefix(length + 1);
        return number.value_or(0.0);
    }

private:
    std::string_view rest_;
};

double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

bool applyDcsLine(std::span<const std::uint8_t> datagram, GameData& record) {
    if (datagram.size() < dcsMinimumSize) return false;
    std::string_view line(reinterpret_cast<const char*>(datagram.data()), datagram.size());
    line = line.substr(0, line.find('\0'));
    FieldCursor cursor(line);
    for (const Field& field : fields) {
        const double value = cursor.next();
        switch (field.unit) {
            case Unit::asIs: record.channels[field.channel] = value; break;
            // A finite field can still overflow once scaled.
            case Unit::gravities: record.channels[field.channel] = finiteOrZero(value * standardGravity); break;
            case Unit::radians: record.channels[field.channel] = finiteOrZero(degreesFromRadians(value)); break;
            case Unit::notUsed: break;
            case Unit::clock:
                record.gameClockStepMs = finiteOrZero((value - record.gameClockS) * 1000.0);
                record.gameClockS = value;
                break;
        }
    }
    return true;
}

bool DcsReader::read(GameData& record) {
    const auto datagram = takeDatagram(*this);
    if (datagram.size() < dcsMinimumSize) return false;
    stampFrame(*this, record);
    applyDcsLine(datagram, record);
    applyGravitySplit(record, GravityForm::difference);
    return true;
}

}  // namespace tarvelin
