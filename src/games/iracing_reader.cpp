#include "games/iracing_reader.h"

namespace tarvelin {

bool IRacingReader::startUp() {
    if (!block.isOpen()) {
        lastTickCount = noTick;
        if (!block.openExisting(blockName, platform::MapAccess::read)) {
            initialised = false;
            return false;
        }
    }
    if (header == nullptr) {
        lastTickCount = noTick;
        // The block's length depends on the simulator's version; the view covers all of it.
        header = static_cast<const std::uint8_t*>(block.map(platform::MapAccess::read, 0));
        if (header == nullptr) {
            initialised = false;
            return false;
        }
    }
    if (!dataValid.isOpen()) {
        lastTickCount = noTick;
        if (!dataValid.open(eventName)) {
            initialised = false;
            return false;
        }
    }
    initialised = true;
    return true;
}

void IRacingReader::reset() {
    dataValid.close();
    block.close();
    header = nullptr;
    lastTickCount = noTick;
    initialised = false;
    opened = false;
}

}  // namespace tarvelin
