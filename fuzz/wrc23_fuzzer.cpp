// WRC datagrams arrive from any program that sends to the game's port. The attitude comes from
// three direction vectors that may have any length, and the rates from two frames in a row.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "finite_channels.h"
#include "games/gravity_split.h"
#include "games/wrc23_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto frame = tarvelin::decodeWrc23Datagram(std::span<const std::uint8_t>(data, size));
    if (!frame) return 0;
    std::optional<tarvelin::Wrc23Attitude> previous = tarvelin::Wrc23Attitude{179.0, -179.0, 89.0};
    tarvelin::GameData record;
    // The shortest interval the engine's cycle can measure, and one of no length at all.
    for (const double frameTimeMs : {0.001, 0.0}) {
        tarvelin::applyWrc23Frame(*frame, frameTimeMs, previous, record);
        tarvelin::applyGravitySplit(record, tarvelin::GravityForm::sum);
        requireFiniteChannels(record);
    }
    return 0;
}
