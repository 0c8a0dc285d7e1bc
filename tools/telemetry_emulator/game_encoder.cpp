#include "game_encoder.h"

#include <cstring>

#include "beamng_encoder.h"

namespace tarvelin::emulator {

const GameEncoder* findGameEncoder(const char* name) {
    for (const GameEncoder* encoder : {&beamNgEncoder}) {
        if (std::strcmp(encoder->name, name) == 0) return encoder;
    }
    return nullptr;
}

}  // namespace tarvelin::emulator
