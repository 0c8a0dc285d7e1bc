#include "games/xplane_reader.h"

#include <cmath>

#include "games/gravity_split.h"
#include "games/udp_reading.h"

namespace tarvelin {

namespace {

constexpr std::size_t headerSize = 5;
constexpr std::size_t recordSize = 36;

// The first `count` values of a record, when all of them are finite numbers.
bool finiteValues(const float* values, int count) {
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) return false;
    }
    return true;
}

void applyRecord(std::uint8_t row, const float* d, GameData& record, std::int32_t& profileSelector) {
    auto& c = record.channels;
    switch (row) {
        case 3:
            if (finiteValues(d + 7, 1)) c[speed] = d[7];
            break;
        case 17:
        case 127:
            if (!finiteValues(d, 3)) break;
            c[pitchPosition] = d[0];
            c[rollPosition] = d[1];
            c[yawPosition] = -d[2];  // sign changes in single precision, as the values came
            break;
        case 66:
            if (!finiteValues(d, 3)) break;
            c[frontLeftSuspension] = d[0];
            c[frontRightSuspension] = d[0];
            c[rearRightSuspension] = d[1];
            c[rearLeftSuspension] = d[2];
            profileSelector = d[0] > 0.0f && d[1] > 0.0f && d[2] > 0.0f ? 1 : 0;
            break;
        case 135:
            if (!finiteValues(d, 6)) break;
            c[lateralAccelG] = d[0];
            c[verticalAccelG] = static_cast<double>(d[1]) / 10.0;
            c[longitudinalAccelG] = -d[2];
            c[rollSpeed] = d[3];
            c[pitchSpeed] = d[4];
            c[yawSpeed] = -d[5];
            break;
        default:
            break;
    }
}

}  // namespace

bool applyXPlaneDatagram(std::span<const std::uint8_t> datagram, GameData& record, std::int32_t& profileSelector) {
    if (datagram.size() < xPlaneMinimumSize) return false;
    const std::size_t records = (datagram.size() - headerSize) / recordSize;
    for (std::size_t r = 0; r < records; ++r) {
        const std::size_t start = headerSize + r * recordSize;
        float values[8];
        for (std::size_t i = 0; i < 8; ++i) values[i] = floatAt(datagram, start + 4 + 4 * i);
        // The index is little-endian: its low byte comes first.
        applyRecord(datagram[start], values, record, profileSelector);
    }
    return true;
}

bool XPlaneReader::read(GameData& record) {
    const auto datagram = takeDatagram(*this);
    if (datagram.size() < xPlaneMinimumSize) return false;
    stampFrame(*this, record);
    applyXPlaneDatagram(datagram, record, profileSelector);
    applyGravitySplit(record, GravityForm::difference);
    return true;
}

}  // namespace tarvelin
