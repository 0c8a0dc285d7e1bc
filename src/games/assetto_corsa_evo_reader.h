#pragma once
// Assetto Corsa EVO publishes its physics in a block of its own, "Local\acevo_pmf_physics"
// (800 bytes), whose first part keeps the layout of Assetto Corsa's physics block: the same
// packet number and fields at the same offsets (assetto_corsa_reader.h). Builds that publish no
// such block use Assetto Corsa's "Local\acpmf_physics" instead.

#include <cstdint>

#include "core/game_data.h"
#include "games/reader_state.h"
#include "platform/shared_memory.h"

namespace tarvelin {

// Opens and maps for reading EVO's own physics block when it exists, else creates or opens
// Assetto Corsa's and maps that: true when `block` holds a view. Detection and connection both
// choose the block this way.
bool openAssettoCorsaEvoPhysics(platform::SharedMemory& block);

class AssettoCorsaEvoReader : public BlockReaderState {
public:
    // Holds the physics block for the reader: 1 when it is mapped, else 0 with nothing held.
    int connect();

    // As Assetto Corsa's reader, on whichever physics block connect took. Game-source thread only.
    bool read(GameData& record);

    std::int32_t lastPacketNumber = 0;
};

}  // namespace tarvelin
