#pragma once
// One emulated game: how it turns a moment of the vehicle's motion into the bytes it sends, and
// where and how often it sends them. Every game is one such encoder over the same drive script.

#include <cstdint>
#include <vector>

#include "vehicle_motion.h"

namespace tarvelin::emulator {

struct GameEncoder {
    const char* name;         // as the command line names it
    std::uint16_t port;       // the UDP port the game sends to on the local machine
    double framesPerSecond;   // the game's default output rate
    std::vector<std::uint8_t> (*encode)(const VehicleMotion& motion);
};

// The encoder of the game with this name, or null.
const GameEncoder* findGameEncoder(const char* name);

}  // namespace tarvelin::emulator
