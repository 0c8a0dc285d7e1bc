#pragma once
// One emulated game: what the command line calls it, how often it publishes, which process
// detection looks for, and how it opens its channel. Every game is one such encoder over the same
// drive script; the file of each game holds its encoding.

#include <cstdint>
#include <memory>
#include <span>

#include "game_feed.h"

namespace tarvelin::emulator {

// How the game publishes its telemetry.
enum class Transport {
    datagrams,     // to a UDP port on which the engine listens
    sharedMemory,  // in named blocks that the engine maps
    tcpServer,     // as the answers of a server to which the engine connects
    simConnect,    // as the messages of a simulator in the engine's own process (its client interface)
};

struct GameEncoder {
    const char* name;            // as the command line names it ("beamng")
    const char* title;           // as the engine names the game ("BeamNG")
    double framesPerSecond;      // the game's default output rate
    Transport transport;
    std::uint16_t port;          // the UDP or TCP port the game uses, else 0
    const char* executableName;  // the process detection looks for, or null when it needs none
    // Opens the game's channel; `port` is the game's own port or the one the caller chose.
    std::unique_ptr<GameFeed> (*openFeed)(std::uint16_t port);
};

// Every emulated game, in the engine's detection order.
std::span<const GameEncoder* const> gameEncoders();

// The encoder of the game with this command-line name, or null.
const GameEncoder* findGameEncoder(const char* name);

}  // namespace tarvelin::emulator
