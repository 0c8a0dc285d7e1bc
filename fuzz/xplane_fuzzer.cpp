// X-Plane data output arrives from any program that sends to the simulator's port.

#include <cstddef>
#include <cstdint>
#include <span>

#include "finite_channels.h"
#include "games/gravity_split.h"
#include "games/xplane_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvelin::GameData record;
    std::int32_t profileSelector = 0;
    if (tarvelin::applyXPlaneDatagram(std::span<const std::uint8_t>(data, size), record, profileSelector)) {
        tarvelin::applyGravitySplit(record, tarvelin::GravityForm::difference);
    }
    if (profileSelector != 0 && profileSelector != 1) std::abort();
    requireFiniteChannels(record);
    return 0;
}
