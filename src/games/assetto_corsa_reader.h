#pragma once
// Assetto Corsa and Assetto Corsa Competizione: the physics block "Local\acpmf_physics", which
// the game rewrites on every physics step and stamps with a rising packet number, and the graphics
// block "Local\acpmf_graphics", whose status word tells whether a session is live.
//
// Fields of the physics block that the reader takes (little-endian 32-bit floats):
//     0  packet number (32-bit integer)
//    44  acceleration x, y, z     (g; y counts downwards)
//   208  heading, pitch, roll     (rad; heading and roll turn the other way from the engine's)
//   296  angular velocity x, y, z (rad/s: pitch, yaw and roll rate)
//   568  local velocity x, y, z   (m/s: lateral, vertical, longitudinal)
// Assetto Corsa EVO publishes the same fields in a block of its own (assetto_corsa_evo_reader.h).

#include <cstddef>
#include <cstdint>

#include "core/game_data.h"

#include <atomic>
#include "games/block_fields.h"
#include "games/reader_state.h"

namespace tarvelin {

// The physics block holds every field the reader takes within its first bytes.
inline constexpr std::size_t assettoCorsaPhysicsBytesRead = 580;

// Applies the physics frame when its packet number differs from `lastPacketNumber`, which then
// takes it: the three speeds, the three accelerations (m/s², without gravity) and the position
// and rate of yaw, roll and pitch (degrees). Returns false, leaving the record untouched, for a
// packet seen already, a packet number that moved on while the fields were read (the game was
// writing the next step), a block shorter than the fields, or a value that is not a finite
// number. Pure: no I/O, no clock, no allocation.
bool applyAssettoCorsaPhysics(BlockBytes physics, std::int32_t& lastPacketNumber, GameData& record);

class AssettoCorsaReader : public AssettoCorsaState {
public:
    // Reads the physics view when the game stepped since the last call, completes the frame with
    // gravity and measures its interval: true when a frame was delivered. Game-source thread only.
    bool read(GameData& record);

    // The packet number of the last frame taken. It outlives a disconnection: the game goes on
    // counting from where it was.
    std::int32_t lastPacketNumber = 0;
};

}  // namespace tarvelin
