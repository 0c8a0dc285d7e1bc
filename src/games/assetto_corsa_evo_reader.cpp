#include "games/assetto_corsa_evo_reader.h"

#include "games/assetto_corsa_reader.h"
#include "games/block_access.h"
#include "games/game_channels.h"

namespace tarvelin {

bool openAssettoCorsaEvoPhysics(platform::SharedMemory& block) {
    const games::Block& own = games::assettoCorsaEvoPhysics;
    if (block.openExisting(own.name, platform::MapAccess::read) &&
        block.map(platform::MapAccess::read, own.size) != nullptr) {
        return true;
    }
    block.close();
    return createAndMap(block, games::assettoCorsaPhysics);
}

int AssettoCorsaEvoReader::connect() {
    if (!openAssettoCorsaEvoPhysics(block)) {
        release();
        return 0;
    }
    opened = true;
    mapped = true;
    return 1;
}

bool AssettoCorsaEvoReader::read(GameData& record) {
    return deliverBlockFrame(opened && applyAssettoCorsaPhysics(viewBytes(block), lastPacketNumber, record), *this,
                             record);
}

}  // namespace tarvelin
