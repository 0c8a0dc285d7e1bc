// OutSim packets arrive from any program that sends to Live for Speed's port.

#include <cstddef>
#include <cstdint>
#include <span>

#include "finite_channels.h"
#include "games/gravity_split.h"
#include "games/live_for_speed_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvelin::GameData record;
    if (tarvelin::applyOutSimPacket(std::span<const std::uint8_t>(data, size), record)) {
        tarvelin::applyGravitySplit(record, tarvelin::GravityForm::sum);
    }
    requireFiniteChannels(record);
    return 0;
}
