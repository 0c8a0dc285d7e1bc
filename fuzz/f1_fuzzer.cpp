// F1 packets arrive from any program that sends to the games' port; the packet kind is told by
// the length alone, and the player's car index is a byte of the packet.

#include <cstddef>
#include <cstdint>
#include <span>

#include "finite_channels.h"
#include "games/f1_reader.h"
#include "games/gravity_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvelin::GameData record;
    if (tarvelin::applyF1Datagram(std::span<const std::uint8_t>(data, size), record)) {
        tarvelin::applyGravitySplit(record, tarvelin::GravityForm::difference);
    }
    requireFiniteChannels(record);
    return 0;
}
