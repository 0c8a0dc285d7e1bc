#include "games/f1_reader.h"

#include <cmath>
#include <iterator>

#include "games/gravity_split.h"
#include "games/udp_reading.h"

namespace tarvelin {

namespace {

constexpr std::size_t headerSize = 29;
constexpr std::size_t carRecordSize = 60;
constexpr std::size_t playerCarIndexOffset = 27;

bool knownFormat(std::span<const std::uint8_t> datagram) {
    const unsigned format = datagram[0] | (datagram[1] << 8);
    return format == 2023 || format == 2024;
}

// Reads the values at `start` + each offset; false when one of them is not a finite number.
template <std::size_t Count>
bool readFinite(std::span<const std::uint8_t> datagram, std::size_t start, const std::size_t (&offsets)[Count],
                float (&values)[Count]) {
    for (std::size_t i = 0; i < Count; ++i) {
        values[i] = floatAt(datagram, start + offsets[i]);
        if (!std::isfinite(values[i])) return false;
    }
    return true;
}

bool applyMotion(std::span<const std::uint8_t> datagram, GameData& record) {
    // Byte 28, the second player's car, is 255 outside split screen; byte 27 is this player's.
    std::size_t car = datagram[playerCarIndexOffset];
    if (car >= f1CarCount) car = 0;
    constexpr std::size_t offsets[] = {36, 40, 44, 48, 52, 56};
    float v[std::size(offsets)];
    if (!readFinite(datagram, headerSize + carRecordSize * car, offsets, v)) return false;
    auto& c = record.channels;
    // The sign changes are made in single precision, before the values are widened.
    c[lateralAccelG] = static_cast<double>(-v[0]) * standardGravity;
    c[longitudinalAccelG] = static_cast<double>(v[1]) * standardGravity;
    c[verticalAccelG] = static_cast<double>(-v[2]) * standardGravity;
    c[yawPosition] = degreesFromRadians(v[3]);
    c[pitchPosition] = degreesFromRadians(v[4]);
    c[rollPosition] = degreesFromRadians(v[5]);
    return true;
}

bool applyExtendedMotion(std::span<const std::uint8_t> datagram, GameData& record) {
    constexpr std::size_t offsets[] = {173, 177, 181};
    float v[std::size(offsets)];
    if (!readFinite(datagram, 0, offsets, v)) return false;
    record.channels[rollSpeed] = degreesFromRadians(-v[0]);
    record.channels[pitchSpeed] = degreesFromRadians(-v[1]);
    record.channels[yawSpeed] = degreesFromRadians(-v[2]);
    return true;
}

}  // namespace

bool applyF1Datagram(std::span<const std::uint8_t> datagram, GameData& record) {
    switch (datagram.size()) {
        case f1MotionSize: return knownFormat(datagram) && applyMotion(datagram, record);
        case f1_23ExtendedMotionSize:
        case f1_24ExtendedMotionSize: return knownFormat(datagram) && applyExtendedMotion(datagram, record);
        default: return false;
    }
}

bool F1Reader::read(GameData& record) {
    stampFrame(*this, record);
    bool arrived = false;
    for (int taken = 0; taken < maximumDatagramsPerRead; ++taken) {
        const auto datagram = takeDatagram(*this);
        if (datagram.empty()) break;
        if (datagram.size() < f1MinimumSize) continue;
        arrived = true;
        applyF1Datagram(datagram, record);
    }
    if (!arrived) return false;
    applyGravitySplit(record, GravityForm::difference);
    return true;
}

}  // namespace tarvelin
