// The exports that tell the host which game the engine found.

#include <cstring>

#include "engine/motion_engine.h"
#include "games/game_id.h"
#include "tarvelin/motion.h"

extern "C" {

int getGameID(void) {
    return static_cast<int>(tarvelin::MotionEngine::instance().gameSource.activeGame());
}

void getGameName(char* buffer) {
    const char* name = tarvelin::gameName(tarvelin::MotionEngine::instance().gameSource.activeGame());
    if (buffer == nullptr) return;
    std::memcpy(buffer, name, std::strlen(name) + 1);
}

}  // extern "C"
