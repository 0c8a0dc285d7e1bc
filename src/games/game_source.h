#pragma once
// Finds the running game, opens its telemetry channel and reads its frames into the one
// telemetry record of the engine.

#include "engine/game_data.h"

namespace tarvelin {

class GameSource {
public:
    GameData gameData;
};

}  // namespace tarvelin
