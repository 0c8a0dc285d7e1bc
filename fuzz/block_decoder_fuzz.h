#pragma once
// What every fuzz target of a shared-memory game checks: the game's block may hold anything (a
// game that crashed mid-write, another program's block under the same name, a block shorter than
// the layout). Whatever it holds, decoding it must not crash or read outside it, and no channel
// may end up as something other than a finite number once the frame is completed with gravity.
// Each input is decoded twice, so that the new-frame markers see both a first and a repeated
// frame.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/game_data.h"
#include "games/block_fields.h"
#include "games/gravity_split.h"

namespace tarvelin::fuzz {

template <typename Decode>
int decodeBlock(const std::uint8_t* data, std::size_t size, Decode decode) {
    GameData record;
    const BlockBytes block(data, size);
    for (int pass = 0; pass < 2; ++pass) {
        if (decode(block, record)) applyGravitySplit(record, GravityForm::sum);
    }
    for (const double channel : record.channels) {
        if (!std::isfinite(channel)) std::abort();
    }
    return 0;
}

}  // namespace tarvelin::fuzz
