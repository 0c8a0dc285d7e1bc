#include "e2e/motion_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "beamng_encoder.h"

namespace tarvelin::test {

namespace {

// The reader's own value of π for its angle conversions.
constexpr double readerPi = 3.14159265358979;
constexpr double gravity = 9.80665;
constexpr double pi = 3.141592653589793;

float floatAt(const std::array<std::uint8_t, 88>& datagram, std::size_t offset) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(datagram[offset + i]) << (8 * i);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double degrees(float radians) { return static_cast<double>(radians) / readerPi * 180.0; }

struct Mapping {
    int slot;
    int channel;
    bool limited;
};

// The rig slots evaluated on each profile, with their channel and whether the input limits apply.
constexpr Mapping motionTable[] = {{0, 3, true},  {1, 7, true},  {2, 11, true}, {3, 14, true}, {4, 17, true},
                                   {5, 20, true}, {6, 3, true},  {7, 7, true},  {8, 16, false}, {9, 19, false}};

const SlotChain* chainOf(const RigSetup& setup, int profile, int slot) {
    for (const SlotChain& chain : setup.chains) {
        if (chain.profile == profile && chain.slot == slot) return &chain;
    }
    return nullptr;
}

double slotValue(const RigSetup& setup, int profile, const Mapping& mapping, double input, double scale) {
    const SlotChain* chain = chainOf(setup, profile, mapping.slot);
    if (chain == nullptr) return 0.0 * scale;
    if (mapping.limited) {
        const Range limits = setup.inputLimits[static_cast<std::size_t>(mapping.slot)];
        input = limits.low > input ? limits.low : std::min(limits.high, input);
    }
    return chain->apply(input) * scale;
}

void putBigEndian(FrameBody& body, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) body[offset + i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
}

std::uint32_t frameInteger(double cue) {
    float value = static_cast<float>(cue);
    value = 0.0f > value ? 0.0f : std::min(4294967296.0f, value);
    const auto wide = static_cast<double>(value);
    return wide >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(wide);
}

}  // namespace

ChannelValues beamNgChannels(const emulator::VehicleMotion& motion) {
    const auto datagram = emulator::encodeBeamNgFrame(motion);
    ChannelValues c{};
    // Linear values and yaw change sign, in single precision, before they are widened.
    c[1] = static_cast<double>(-floatAt(datagram, 16));
    c[5] = static_cast<double>(-floatAt(datagram, 20));
    c[9] = static_cast<double>(-floatAt(datagram, 24));
    c[2] = static_cast<double>(-floatAt(datagram, 28));
    c[6] = static_cast<double>(-floatAt(datagram, 32));
    c[10] = static_cast<double>(-floatAt(datagram, 36));
    c[16] = degrees(floatAt(datagram, 52));
    c[19] = degrees(floatAt(datagram, 56));
    c[13] = degrees(-floatAt(datagram, 60));
    c[17] = degrees(floatAt(datagram, 64));
    c[20] = degrees(floatAt(datagram, 68));
    c[14] = degrees(-floatAt(datagram, 72));
    c[18] = degrees(floatAt(datagram, 76));
    c[21] = degrees(floatAt(datagram, 80));
    c[15] = degrees(-floatAt(datagram, 84));

    // The game's accelerations leave gravity out; the felt ones add it back.
    const double pitch = c[19] / 180.0 * pi;
    const double roll = c[16] / 180.0 * pi;
    c[4] = gravity * std::cos(pitch) * std::sin(roll);
    c[8] = gravity * std::sin(pitch);
    c[12] = gravity * std::cos(pitch) * std::cos(roll);
    c[3] = c[2] + c[4];
    c[7] = c[6] + c[8];
    c[11] = c[10] + c[12];
    return c;
}

Evaluation evaluate(const RigSetup& setup, const ChannelValues& channels) {
    Evaluation e;
    auto& air = e.air;
    auto& ground = e.ground;
    const auto& mix = setup.airBeltMix;

    // Belt components, their weighted sum, and the belt slot on that sum.
    air[11] = slotValue(setup, 0, {11, 7, false}, channels[7], 1.0);
    double sum = mix[1] * air[11];
    air[12] = slotValue(setup, 0, {12, 11, false}, channels[11], 1.0);
    sum += mix[2] * air[12];
    air[13] = slotValue(setup, 0, {13, 17, false}, channels[17], 1.0);
    sum += mix[4] * air[13];
    air[14] = slotValue(setup, 0, {14, 20, false}, channels[20], 1.0);
    sum += mix[5] * air[14];
    e.beltSum = sum;
    air[10] = slotValue(setup, 0, {10, 42, false}, sum, 1.0);

    air[21] = slotValue(setup, 0, {21, 28, false}, channels[28], 1.0);
    for (int slot = 15; slot <= 20; ++slot) air[static_cast<std::size_t>(slot)] = slotValue(setup, 0, {slot, 0, false}, 0.0, 1.0);
    for (const Mapping& mapping : motionTable) {
        const auto index = static_cast<std::size_t>(mapping.slot);
        air[index] = slotValue(setup, 0, mapping, channels[static_cast<std::size_t>(mapping.channel)], 1.0);
        ground[index] = slotValue(setup, 1, mapping, channels[static_cast<std::size_t>(mapping.channel)], 0.0);
    }

    auto& cue = e.cues;
    for (std::size_t i = 0; i < 4; ++i) cue[i] = (air[15 + i] + air[i]) + ground[i];
    for (std::size_t i = 6; i < 10; ++i) cue[i] = ground[i] + air[i];
    cue[4] = (((cue[6] + air[4]) + cue[8]) + air[19]) + ground[4];
    cue[5] = (((cue[7] + air[5]) + cue[9]) + air[20]) + ground[5];
    cue[10] = ground[10] + air[10];
    cue[21] = ground[21] + air[21];
    return e;
}

SlotValues calculationRecord(const Evaluation& evaluation) {
    SlotValues record = evaluation.cues;
    for (std::size_t slot = 11; slot <= 20; ++slot) record[slot] = evaluation.air[slot];
    return record;
}

FrameBody rigFrameBody(const SlotValues& cues, const RigSetup& setup) {
    FrameBody body{};
    body[0] = 0xFC;
    body[1] = 0xFC;
    for (std::size_t slot = 0; slot < 6; ++slot) {
        const auto value = static_cast<float>(cues[slot]);
        const auto low = static_cast<float>(setup.rigLimits[slot].low);
        const auto high = static_cast<float>(setup.rigLimits[slot].high);
        const float stored = low > value ? low : std::min(high, value);
        std::memcpy(body.data() + 2 + 4 * slot, &stored, 4);  // little-endian on every build
    }
    putBigEndian(body, 26, frameInteger(cues[10]));
    putBigEndian(body, 30, frameInteger(cues[21]));
    return body;
}

std::uint8_t fanByte(double windCue) {
    float wind = static_cast<float>(windCue);
    wind = 0.0f > wind ? 0.0f : std::min(100.0f, wind);
    return static_cast<std::uint8_t>(wind / 100.0f * 255.0f);
}

}  // namespace tarvelin::test
