#include "game_encoder.h"

#include <array>
#include <cstring>

#include "assetto_corsa_encoder.h"
#include "assetto_corsa_evo_encoder.h"
#include "beamng_encoder.h"
#include "condor2_encoder.h"
#include "dcs_encoder.h"
#include "dirt_rally2_encoder.h"
#include "euro_truck_simulator2_encoder.h"
#include "f1_encoder.h"
#include "iracing_encoder.h"
#include "live_for_speed_encoder.h"
#include "nolimits2_encoder.h"
#include "project_cars2_encoder.h"
#include "raceroom_encoder.h"
#include "rfactor2_encoder.h"
#include "wrc23_encoder.h"
#include "xplane_encoder.h"

namespace tarvelin::emulator {

namespace {

// In the engine's detection order, so that a list of them reads as the engine's own.
constexpr std::array encoders{
    &xPlaneEncoder,
    &dcsEncoder,
    &assettoCorsaEncoder,
    &assettoCorsaEvoEncoder,
    &raceRoomEncoder,
    &dirtRally2Encoder,
    &condor2Encoder,
    &f1_23Encoder,
    &f1_24Encoder,
    &noLimits2Encoder,
    &projectCars2Encoder,
    &automobilista2Encoder,
    &iRacingEncoder,
    &iRacingReplayEncoder,
    &wrc23Encoder,
    &beamNgEncoder,
    &liveForSpeedEncoder,
    &rFactor2Encoder,
    &euroTruckSimulator2Encoder,
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
