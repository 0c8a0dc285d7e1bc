#pragma once
// Project CARS 2 and Automobilista 2: the block "$pcars2$", which both games create at the size
// of their own structure (Project CARS 2 20576 bytes, Automobilista 2 20692) and rewrite while
// they run.
//
// Fields that the reader takes (little-endian):
//      8  game state (32-bit integer; 2 while a session is being driven)
//   6908  orientation [3]            (rad)
//   6920  local velocity [3]         (m/s)
//   6944  angular velocity [3]       (rad/s)
//   6956  local acceleration [3]     (m/s², without gravity)
// The games' local space has y up: [0] is lateral, [1] vertical and [2] longitudinal, and the
// rotations about those axes are pitch, yaw and roll. Yaw turns the other way from the engine's.

#include <cstddef>

#include "core/game_data.h"
#include "games/block_fields.h"
#include "games/block_name_watch.h"
#include "games/game_channels.h"
#include "games/reader_state.h"

namespace tarvelin {

// Every field the reader takes lies within the block's first bytes; a view of the whole block
// serves as long as it is at least this long.
inline constexpr std::size_t projectCars2BytesRead = 6968;

// Applies the frame while the game state says a session is being driven: speeds, accelerations
// (without gravity), and position and rate of yaw, roll and pitch (degrees). Returns false,
// leaving the record untouched, in any other state, for a block shorter than the fields, or when a
// value is not a finite number. Pure: no I/O, no clock, no allocation.
bool applyProjectCars2Block(BlockBytes block, GameData& record);

class ProjectCars2Reader : public BlockReaderState {
public:
    // Delivers the frame of the held view while a session is driven and the block still exists by
    // name (block_name_watch.h), completed with gravity and timed: true when a frame was
    // delivered. Game-source thread only.
    bool read(GameData& record);

    // Unmaps the block and forgets it; the next connection watches its new block afresh.
    void release() {
        BlockReaderState::release();
        nameWatch.reset();
    }

    BlockNameWatch nameWatch{games::projectCars2.name};

private:
    SteadyCopy<projectCars2BytesRead> steadyCopy;
};

}  // namespace tarvelin
