#include "filters/noise_layer.h"

#include <cmath>

namespace tarvelin {

NoiseLayer::NoiseLayer(float amplitudeParam, float periodParam, float seed)
    : amplitude(amplitudeParam), period(periodParam), generator(generatorSeed(seed)) {
    toValue = draw();
}

std::uint32_t NoiseLayer::generatorSeed(float seed) {
    // A seed beyond the 64-bit range (or not a number) converts the way x86 hardware converts
    // it, to the "integer indefinite" 0x8000000000000000, whose low 32 bits are 0. The language
    // itself leaves that conversion undefined, so it is spelled out here.
    constexpr float int64Limit = 9223372036854775808.0f;  // 2^63
    const std::int64_t truncated =
        std::fabs(seed) < int64Limit ? static_cast<std::int64_t>(seed) : INT64_MIN;
    return static_cast<std::uint32_t>(truncated);
}

float NoiseLayer::draw() {
    // Written out rather than left to std::uniform_real_distribution, whose mapping differs
    // between standard libraries (and clamps the top value on some of them).
    const auto bits = static_cast<std::uint32_t>(generator());
    const float unit = static_cast<float>(bits) * 2.3283064e-10f;
    return (highBound - lowBound) * unit + lowBound;
}

double NoiseLayer::step() {
    // A period that is not positive would divide by zero or make the position run away below;
    // such a layer adds nothing and keeps its state.
    if (!(period > 0.0f)) return 0.0;
    phase = phase + 2.0f;
    if (phase >= period) {
        phase = phase - period;
        fromValue = toValue;
        toValue = draw();
        // With a period shorter than one step the position would stay beyond the interval and
        // grow every evaluation, extrapolating the line further and further; it wraps instead,
        // so that such a layer draws a new point every evaluation. Periods of 2.0 and more
        // never get here.
        if (phase >= period) phase = std::fmod(phase, period);
    }
    const float fraction = phase / period;
    const float value = (1.0f - fraction) * fromValue + fraction * toValue;
    return static_cast<double>(value * amplitude);
}

}  // namespace tarvelin
