#include "game_encoder.h"

#include <array>
#include <cstring>

#include "beamng_encoder.h"
#include "condor2_encoder.h"
#include "dcs_encoder.h"
#include "dirt_rally2_encoder.h"
#include "f1_encoder.h"
#include "iracing_encoder.h"
#include "live_for_speed_encoder.h"
#include "nolimits2_encoder.h"
#include "wrc23_encoder.h"
#include "xplane_encoder.h"

namespace tarvelin::emulator {

namespace {

// In the engine's detection order, so that a list of them reads as the engine's own.
constexpr std::array encoders{
    &xPlaneEncoder,
    &dcsEncoder,
    &dirtRally2Encoder,
    &condor2Encoder,
    &f1_23Encoder,
    &f1_24Encoder,
    &noLimits2Encoder,
    &iRacingEncoder,
    &iRacingReplayEncoder,
    &wrc23Encoder,
    &beamNgEncoder,
    &liveForSpeedEncoder,
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
