#include "game_encoder.h"

#include <array>
#include <cstring>

#include "beamng_encoder.h"
#include "iracing_encoder.h"

namespace tarvelin::emulator {

namespace {

// In the engine's detection order, so that a list of them reads as the engine's own.
constexpr std::array encoders{
    &iRacingEncoder,
    &iRacingReplayEncoder,
    &beamNgEncoder,
};

}  // namespace

std::span<const GameEncoder* const> gameEncoders() { return encoders; }

const GameEncoder* findGameEncoder(const char* name) {
    for (const GameEncoder* encoder : encoders) {
        if (std::strcmp(encoder->name, name) == 0) return encoder;
    }
    return nullptr;
}

}  // namespace tarvelin::emulator
