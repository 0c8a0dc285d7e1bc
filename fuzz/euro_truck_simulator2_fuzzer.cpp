// The SCS telemetry example plugin's block of Euro Truck Simulator 2.

#include "block_decoder_fuzz.h"
#include "games/euro_truck_simulator2_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarvelin::fuzz::decodeBlock(data, size, tarvelin::applyEuroTruckSimulator2Block);
}
