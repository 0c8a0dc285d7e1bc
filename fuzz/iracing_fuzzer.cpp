// iRacing's block is written by the simulator, or by any program that creates a block under its
// name. Whatever its header, variable table and buffers hold, reading it must not crash, must
// never touch a byte outside the block, and must leave only finite channels.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/game_data.h"
#include "games/gravity_split.h"
#include "games/iracing_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's length, so that a read past the block's end is caught.
    std::vector<std::uint8_t> block(data, data + size);
    tarvelin::IRacingDecoder decoder;
    tarvelin::GameData record;
    // The first look only notes the tick. Between looks every buffer's tick rises by one, so the
    // second copies a buffer and finds the variables, and the third reads with what it found.
    for (int look = 0; look < 3; ++look) {
        decoder.read(block, record);
        tarvelin::applyGravitySplit(record, tarvelin::GravityForm::difference);
        for (std::size_t tick = 48; tick + 4 <= block.size() && tick < 48 + 4 * 16; tick += 16) {
            if (++block[tick] == 0 && ++block[tick + 1] == 0 && ++block[tick + 2] == 0) ++block[tick + 3];
        }
    }
    for (const double channel : record.channels) {
        if (!std::isfinite(channel)) std::abort();
    }
    return 0;
}
