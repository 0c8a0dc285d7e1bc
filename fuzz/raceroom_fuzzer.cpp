// RaceRoom's block, in whichever layout its version words name.

#include "block_decoder_fuzz.h"
#include "games/raceroom_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarvelin::fuzz::decodeBlock(data, size, tarvelin::applyRaceRoomBlock);
}
