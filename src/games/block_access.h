#pragma once
// Small steps on named blocks that detection and connection share.

#include <cstdint>
#include <cstring>

#include "games/game_channels.h"
#include "platform/shared_memory.h"

namespace tarvelin {

// Whether the block exists now: opened for reading and closed again at once.
inline bool blockExists(const wchar_t* name) {
    platform::SharedMemory block;
    return block.openExisting(name, platform::MapAccess::read);
}

// Opens the game's block (on Windows creating it when the game has not yet; on POSIX only when
// it exists, see SharedMemory::openPublished) and maps the layout's length for reading.
inline bool createAndMap(platform::SharedMemory& block, const games::Block& layout) {
    return block.openPublished(layout.name, layout.size) &&
           block.map(platform::MapAccess::read, layout.size) != nullptr;
}

// The 32-bit word at `offset` of a mapped view.
inline std::int32_t wordAt(const platform::SharedMemory& block, std::size_t offset) {
    std::int32_t word = 0;
    std::memcpy(&word, static_cast<const std::uint8_t*>(block.view()) + offset, sizeof word);
    return word;
}

}  // namespace tarvelin
