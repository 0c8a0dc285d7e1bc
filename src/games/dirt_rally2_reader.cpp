#include "games/dirt_rally2_reader.h"

#include <cmath>
#include <iterator>

#include "games/gravity_split.h"
#include "games/udp_reading.h"

namespace tarvelin {

namespace {

enum class Unit { leftGravities, gravities, radians, heading };

struct Field {
    std::size_t offset;
    Channel channel;
    Unit unit;
};

constexpr Field fields[] = {
    {24, lateralAccel, Unit::leftGravities}, {28, longitudinalAccel, Unit::gravities},
    {32, verticalAccel, Unit::gravities},    {48, pitchPosition, Unit::radians},
    {52, pitchSpeed, Unit::radians},         {56, pitchAccel, Unit::radians},
    {60, rollPosition, Unit::radians},       {64, rollSpeed, Unit::radians},
    {68, rollAccel, Unit::radians},          {84, yawPosition, Unit::heading},
    {88, yawSpeed, Unit::radians},           {92, yawAccel, Unit::radians},
};

double convert(float value, Unit unit) {
    const double wide = value;
    switch (unit) {
        case Unit::leftGravities: return wide * standardGravity * -1.0;
        case Unit::gravities: return wide * standardGravity;
        case Unit::radians: return degreesFromRadians(wide);
        case Unit::heading: return degreesFromRadians(wide) - 90.0;
    }
    return 0.0;
}

}  // namespace

bool applyDirtRally2Datagram(std::span<const std::uint8_t> datagram, GameData& record) {
    if (datagram.size() != dirtRally2DatagramSize) return false;
    // One value that is not a number would stay in every filter that integrates or smooths it.
    float values[std::size(fields)];
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        values[i] = floatAt(datagram, fields[i].offset);
        if (!std::isfinite(values[i])) return false;
    }
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        record.channels[fields[i].channel] = convert(values[i], fields[i].unit);
    }
    record.channels[lateralSpeed] = 0.0;
    record.channels[longitudinalSpeed] = 0.0;
    record.channels[verticalSpeed] = 0.0;
    record.gameClockStepMs = (0.0 - record.gameClockS) * 1000.0;
    record.gameClockS = 0.0;
    return true;
}

bool DirtRally2Reader::read(GameData& record) {
    const auto datagram = takeDatagram(*this);
    if (datagram.size() < dirtRally2MinimumSize) return false;
    stampFrame(*this, record);
    applyDirtRally2Datagram(datagram, record);
    // The game counts pitch positive nose down, so its longitudinal gravity turns the other way.
    applyGravitySplit(record, GravityForm::sum, LongitudinalGravity::againstPitch);
    return true;
}

}  // namespace tarvelin
