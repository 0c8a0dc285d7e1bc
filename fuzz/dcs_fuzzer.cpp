// The DCS export line is text from a script the rig owner edits, and any program may send to the
// port: fields of any length, numbers of any size, bytes of any value.

#include <cstddef>
#include <cstdint>
#include <span>

#include "finite_channels.h"
#include "games/dcs_reader.h"
#include "games/gravity_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvelin::GameData record;
    if (tarvelin::applyDcsLine(std::span<const std::uint8_t>(data, size), record)) {
        tarvelin::applyGravitySplit(record, tarvelin::GravityForm::difference);
    }
    requireFiniteChannels(record);
    return 0;
}
