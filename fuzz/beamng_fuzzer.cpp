// BeamNG datagrams arrive from any program that sends to the game's port. Whatever they hold,
// decoding them must not crash, and no channel may end up as something other than a finite
// number once the frame is completed with gravity.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/game_data.h"
#include "games/beamng_reader.h"
#include "games/gravity_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvelin::GameData record;
    if (tarvelin::applyBeamNgDatagram(std::span<const std::uint8_t>(data, size), record)) {
        tarvelin::applyGravitySplit(record, tarvelin::GravityForm::sum);
    }
    for (const double channel : record.channels) {
        if (!std::isfinite(channel)) std::abort();
    }
    return 0;
}
