#pragma once
// The UDP ports on which the engine listens for the games that send their telemetry over the
// network, and a check whether another program holds one of them. A game's port can only be
// held by one program; while another one has it, the engine never hears the game, and all it
// says is "bind socket failed with error: N", without the port.

#include <cstdint>
#include <string>
#include <vector>

namespace tarvelin::console {

struct GamePort {
    const char* game;  // as a rig owner knows it
    std::uint16_t port;
};

// Every game's UDP telemetry port, in the engine's order of detection.
const std::vector<GamePort>& gameUdpPorts();

// Whether another program holds UDP `port` now. The engine itself binds each port for a moment
// while it looks for the game, so the port counts as held only when it stays taken over a few
// tries.
bool udpPortHeld(std::uint16_t port);

// The game ports held by other programs, in table order.
std::vector<GamePort> heldGamePorts();

// "UDP port 4444, where the engine listens for BeamNG.drive telemetry, is held by another
// program: ..." with what to do about it.
std::string heldPortMessage(const GamePort& held);

}  // namespace tarvelin::console
