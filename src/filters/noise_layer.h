#pragma once
// Value noise for the NOISE filter: random points a fixed distance apart, joined by straight
// lines. The generator and the draw are fixed exactly (32-bit Mersenne Twister, one output per
// point), so that the same seed gives the same motion on every build and every platform.

#include <cstdint>
#include <random>

namespace tarvelin {

class NoiseLayer {
public:
    // amplitude scales the output; period is the distance between points in steps of 2.0 per
    // evaluation (milliseconds at the engine's 2 ms cycle); the seed is truncated towards zero
    // and its low 32 bits seed the generator. Draws the first end point.
    NoiseLayer(float amplitude, float period, float seed);

    // Advances by one evaluation and returns the noise to add to the running value, already
    // scaled by the amplitude. Not thread-safe: a chain is evaluated by one thread at a time.
    double step();

    // One point in [-1, 1]: a 32-bit generator output scaled by 2^-32 and mapped onto the
    // bounds, in single precision.
    float draw();

    // The generator seed a NOISE seed parameter stands for.
    static std::uint32_t generatorSeed(float seed);

    float amplitude;
    float period;
    float phase = 0.0f;
    float fromValue = 0.0f;
    float toValue = 0.0f;
    std::mt19937 generator;
    static constexpr float lowBound = -1.0f;
    static constexpr float highBound = 1.0f;
};

}  // namespace tarvelin
