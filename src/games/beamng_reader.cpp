#include "games/beamng_reader.h"

#include <cmath>
#include <cstring>
#include <iterator>

#include "games/gravity_split.h"
#include "games/udp_reading.h"

namespace tarvelin {

namespace {

// Offsets of the values the reader takes, with the channel each one goes to.
struct Field {
    std::size_t offset;
    Channel channel;
    bool negate;
    bool angular;
};

constexpr Field fields[] = {
    {16, lateralSpeed, true, false},      {20, longitudinalSpeed, true, false}, {24, verticalSpeed, true, false},
    {28, lateralAccel, true, false},      {32, longitudinalAccel, true, false}, {36, verticalAccel, true, false},
    {52, rollPosition, false, true},      {56, pitchPosition, false, true},     {60, yawPosition, true, true},
    {64, rollSpeed, false, true},         {68, pitchSpeed, false, true},        {72, yawSpeed, true, true},
    {76, rollAccel, false, true},         {80, pitchAccel, false, true},        {84, yawAccel, true, true},
};

}  // namespace

bool applyBeamNgDatagram(std::span<const std::uint8_t> datagram, GameData& record) {
    // A shorter datagram would leave the frame's tail to whatever the buffer held before.
    if (datagram.size() < beamNgDatagramSize) return false;
    if (std::memcmp(datagram.data(), "BNG1", 4) != 0) return false;

    // One value that is not a number would stay in every filter that integrates or smooths it,
    // long after the game recovered; such a frame is dropped whole.
    float values[std::size(fields)];
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        values[i] = floatAt(datagram, fields[i].offset);
        if (!std::isfinite(values[i])) return false;
    }
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const Field& field = fields[i];
        // The sign changes in single precision, before the value is widened.
        const float value = field.negate ? -values[i] : values[i];
        record.channels[field.channel] = field.angular ? degreesFromRadians(value) : static_cast<double>(value);
    }
    return true;
}

bool BeamNgReader::read(GameData& record) {
    stampFrame(*this, record);
    bool applied = false;
    for (int taken = 0; taken < maximumDatagramsPerRead; ++taken) {
        const auto datagram = takeDatagram(*this);
        if (datagram.empty()) break;
        if (applyBeamNgDatagram(datagram, record)) applied = true;
    }
    if (!applied) return false;
    applyGravitySplit(record, GravityForm::sum);
    return true;
}

}  // namespace tarvelin
