#include "game_encoder.h"

#include <array>
#include <cstring>

#include "assetto_corsa_encoder.h"
#include "assetto_corsa_evo_encoder.h"
#include "beamng_encoder.h"
#include "euro_truck_simulator2_encoder.h"
#include "project_cars2_encoder.h"
#include "raceroom_encoder.h"
#include "rfactor2_encoder.h"

namespace tarvelin::emulator {

namespace {

// In the engine's detection order, so that a list of them reads as the engine's own.
constexpr std::array encoders{
    &assettoCorsaEncoder,
    &assettoCorsaEvoEncoder,
    &raceRoomEncoder,
    &projectCars2Encoder,
    &automobilista2Encoder,
    &beamNgEncoder,
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
