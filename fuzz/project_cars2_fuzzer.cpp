// The block of Project CARS 2 and Automobilista 2.

#include "block_decoder_fuzz.h"
#include "games/project_cars2_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarvelin::fuzz::decodeBlock(data, size, tarvelin::applyProjectCars2Block);
}
