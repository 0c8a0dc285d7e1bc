// DiRT Rally 2 datagrams arrive from any program that sends to the game's port.

#include <cstddef>
#include <cstdint>
#include <span>

#include "finite_channels.h"
#include "games/dirt_rally2_reader.h"
#include "games/gravity_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvelin::GameData record;
    if (tarvelin::applyDirtRally2Datagram(std::span<const std::uint8_t>(data, size), record)) {
        tarvelin::applyGravitySplit(record, tarvelin::GravityForm::sum, tarvelin::LongitudinalGravity::againstPitch);
    }
    requireFiniteChannels(record);
    return 0;
}
