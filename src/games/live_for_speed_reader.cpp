#include "games/live_for_speed_reader.h"

#include <cmath>
#include <cstring>
#include <iterator>

#include "games/gravity_split.h"
#include "games/udp_reading.h"

namespace tarvelin {

namespace {

struct Field {
    std::size_t offset;
    Channel channel;
    bool angular;
};

constexpr Field fields[] = {
    {12, pitchSpeed, true},   {16, rollSpeed, true},         {20, yawSpeed, true},
    {24, yawPosition, true},  {28, pitchPosition, true},     {32, rollPosition, true},
    {36, lateralAccel, false}, {40, longitudinalAccel, false}, {44, verticalAccel, false},
};

}  // namespace

bool applyOutSimPacket(std::span<const std::uint8_t> datagram, GameData& record) {
    if (datagram.size() < outSimPacketSize) return false;
    if (std::memcmp(datagram.data(), "LFST", 4) != 0) return false;
    float values[std::size(fields)];
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        values[i] = floatAt(datagram, fields[i].offset);
        if (!std::isfinite(values[i])) return false;
    }
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const double value = values[i];
        record.channels[fields[i].channel] = fields[i].angular ? degreesFromRadians(value) : value;
    }
    return true;
}

bool LiveForSpeedReader::read(GameData& record) {
    stampFrame(*this, record);
    auto datagram = takeDatagram(*this);
    if (datagram.size() < liveForSpeedMinimumSize) return false;
    if (datagram.size() < outSimPacketSize) datagram = takeDatagram(*this);
    for (int applied = 1; datagram.size() >= outSimPacketSize; ++applied) {
        applyOutSimPacket(datagram, record);
        if (applied == maximumDatagramsPerRead) break;
        datagram = takeDatagram(*this);
    }
    applyGravitySplit(record, GravityForm::sum);
    return true;
}

}  // namespace tarvelin
