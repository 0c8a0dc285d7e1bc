// Assetto Corsa's physics block (which Assetto Corsa EVO's block shares).

#include "block_decoder_fuzz.h"
#include "games/assetto_corsa_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::int32_t lastPacketNumber = 0;
    return tarvelin::fuzz::decodeBlock(data, size, [&](tarvelin::BlockBytes block, tarvelin::GameData& record) {
        return tarvelin::applyAssettoCorsaPhysics(block, lastPacketNumber, record);
    });
}
