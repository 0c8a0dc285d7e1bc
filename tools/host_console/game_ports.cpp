#include "host_console/game_ports.h"

#include <chrono>
#include <thread>

#include "games/game_channels.h"
#include "platform/socket.h"

namespace tarvelin::console {

namespace {

constexpr int heldTries = 3;
// Longer than one of the engine's own probes of a port (20 ms), so that two tries never fall
// into the same one.
constexpr auto betweenTries = std::chrono::milliseconds(35);

bool bindRefused(std::uint16_t port) {
    bool refused = false;
    const auto socket = platform::openUdpSocket();
    if (socket != platform::invalidSocket) {
        refused = !platform::bindSocket(socket, platform::SocketAddress{0, port}) &&
                  platform::lastSocketError() == platform::socketErrorAddressInUse;
        platform::closeSocket(socket);
    }
    return refused;
}

}  // namespace

const std::vector<GamePort>& gameUdpPorts() {
    static const std::vector<GamePort> ports = {
        {"X-Plane", static_cast<std::uint16_t>(games::xPlanePort)},
        {"DCS World", static_cast<std::uint16_t>(games::dcsPort)},
        {"DiRT Rally 2.0", static_cast<std::uint16_t>(games::dirtRally2Port)},
        {"Condor 2", static_cast<std::uint16_t>(games::condor2Port)},
        {"F1 23 / F1 24", static_cast<std::uint16_t>(games::f1Port)},
        {"WRC 23", static_cast<std::uint16_t>(games::wrc23Port)},
        {"BeamNG.drive", static_cast<std::uint16_t>(games::beamNgPort)},
        {"Live for Speed", static_cast<std::uint16_t>(games::liveForSpeedPort)},
    };
    return ports;
}

bool udpPortHeld(std::uint16_t port) {
    if (platform::socketStartup() != 0) return false;
    bool held = true;
    for (int attempt = 0; attempt < heldTries && held; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(betweenTries);
        held = bindRefused(port);
    }
    platform::socketCleanup();
    return held;
}

std::vector<GamePort> heldGamePorts() {
    std::vector<GamePort> held;
    for (const auto& game : gameUdpPorts()) {
        if (udpPortHeld(game.port)) held.push_back(game);
    }
    return held;
}

std::string heldPortMessage(const GamePort& held) {
    return "UDP port " + std::to_string(held.port) + ", where the engine listens for " + held.game +
           " telemetry, is held by another program: close that program (another motion or telemetry tool, or a "
           "second console) so that the engine can hear the game";
}

}  // namespace tarvelin::console
