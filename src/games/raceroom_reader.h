#pragma once
// RaceRoom Racing Experience: the block "$R3E", which the game rewrites while it runs.
//
// The block starts with the version of its layout: major at offset 0, minor at 4 (32-bit
// integers). Three 32-bit words tell the game's state (1 = yes): paused, in menus, in replay.
// The player's fields that the reader takes are little-endian doubles:
//     local velocity x, y, z             (m/s)
//     local acceleration x, y, z         (m/s², without gravity)
//     orientation x, y, z                (rad: pitch, yaw, roll)
//     angular acceleration x, y, z       (rad/s²)
//     angular velocity x, y, z           (rad/s)
// x points left, y up and z backwards, and yaw turns the other way from the engine's. The game
// has moved its fields between layouts; raceRoomLayout gives where they are for each version.

#include <cstddef>
#include <cstdint>

#include "core/game_data.h"
#include "games/block_fields.h"
#include "games/block_name_watch.h"
#include "games/game_channels.h"
#include "games/reader_state.h"

namespace tarvelin {

struct RaceRoomLayout {
    std::size_t pausedOffset;  // the in-menus and in-replay words follow it
    std::size_t playerShift;   // how far the player's fields moved from the first layouts
};

// Up to version 3.2 the state words start at 16 and the player's fields at their first offsets.
// Version 3.3 inserted one word before the state words, moving everything after it by 4;
// version 3.4 moved the player's fields by another 4. A later major version reads as the newest
// layout known.
RaceRoomLayout raceRoomLayout(std::int32_t major, std::int32_t minor);

// The block holds every field the reader takes within its first bytes, in every layout.
inline constexpr std::size_t raceRoomBytesRead = 264 + 8;

// Applies the player's frame when the game is neither paused, nor in menus, nor in a replay:
// speeds, accelerations (without gravity), and position, rate and acceleration of yaw, roll and
// pitch (degrees). Returns false, leaving the record untouched, while the game is in one of those
// states, for a block shorter than the fields, or when a value is not a finite number. Pure: no
// I/O, no clock, no allocation.
bool applyRaceRoomBlock(BlockBytes block, GameData& record);

class RaceRoomReader : public BlockReaderState {
public:
    // Delivers the frame of the held view while the game drives and its block still exists by
    // name (a game that quit has removed it; block_name_watch.h), completed with gravity and
    // timed: true when a frame was delivered. Game-source thread only.
    bool read(GameData& record);

    // Unmaps the block and forgets it; the next connection watches its new block afresh.
    void release() {
        BlockReaderState::release();
        nameWatch.reset();
    }

    BlockNameWatch nameWatch{games::raceRoom.name};

private:
    SteadyCopy<raceRoomBytesRead> steadyCopy;
};

}  // namespace tarvelin
