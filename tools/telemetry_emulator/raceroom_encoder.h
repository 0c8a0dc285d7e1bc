#pragma once
// RaceRoom Racing Experience: the block "$R3E" (39320 bytes) and the process "RRRE64.exe". The
// block starts with its layout's version; three words say whether the game is paused, in menus
// or in a replay; the player's motion follows as doubles in the game's axes (x left, y up,
// z backwards; yaw counted the other way from the engine's). The game has moved its fields
// between layouts, so the emulator can write the layouts of several versions.

#include <cstddef>
#include <cstdint>
#include <span>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

struct RaceRoomLayoutVersion {
    std::int32_t major;
    std::int32_t minor;
    std::size_t pausedOffset;  // the in-menus and in-replay words follow
    std::size_t playerShift;   // how far the player's fields moved from the 2.x layouts
};

inline constexpr RaceRoomLayoutVersion raceRoom2_11{2, 11, 16, 0};
inline constexpr RaceRoomLayoutVersion raceRoom3_3{3, 3, 20, 4};
inline constexpr RaceRoomLayoutVersion raceRoom3_5{3, 5, 20, 8};

// Writes the version, the state words and, while live, the player's motion; otherwise the motion
// stays as it was, as the game's does while it does not drive.
void writeRaceRoomBlock(std::span<std::uint8_t> block, const VehicleMotion& motion, GameStatus status,
                        const RaceRoomLayoutVersion& version);

// The emulator plays the newest layout.
extern const GameEncoder raceRoomEncoder;

}  // namespace tarvelin::emulator
