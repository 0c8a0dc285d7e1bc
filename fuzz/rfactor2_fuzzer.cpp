// The rFactor 2 plugin's block, orientation matrix included.

#include "block_decoder_fuzz.h"
#include "games/rfactor2_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    double lastElapsedTime = 0.0;
    return tarvelin::fuzz::decodeBlock(data, size, [&](tarvelin::BlockBytes block, tarvelin::GameData& record) {
        return tarvelin::applyRFactor2Block(block, lastElapsedTime, record);
    });
}
