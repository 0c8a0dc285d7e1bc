// Plays a game's telemetry on this machine, for trying the engine without the game:
//
//   tarvelin_telemetry_emulator [--game NAME] [--port N] [--seconds S] [--status STATUS]
//
// Publishes the scripted drive through the game's own channel at the game's rate until S seconds
// have passed (default: until interrupted). STATUS is what the game says of itself: live (the
// default), paused, menus, replay or disconnected.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "telemetry_emulator.h"

namespace {

using tarvelin::emulator::GameStatus;

int usage() {
    std::fprintf(stderr,
                 "usage: tarvelin_telemetry_emulator [--game NAME] [--port N] [--seconds S] [--status STATUS]\n"
                 "  NAME:   ");
    for (const auto* game : tarvelin::emulator::gameEncoders()) std::fprintf(stderr, "%s ", game->name);
    std::fprintf(stderr, "(default beamng)\n  STATUS: live paused menus replay disconnected (default live)\n");
    return 2;
}

bool parseStatus(const std::string& text, GameStatus& status) {
    static constexpr struct {
        const char* name;
        GameStatus status;
    } names[] = {{"live", GameStatus::live},
                 {"paused", GameStatus::paused},
                 {"menus", GameStatus::inMenus},
                 {"replay", GameStatus::inReplay},
                 {"disconnected", GameStatus::notConnected}};
    for (const auto& entry : names) {
        if (text == entry.name) {
            status = entry.status;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const char* gameName = "beamng";
    long port = 0;
    double seconds = 0.0;
    GameStatus status = GameStatus::live;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return usage();
        const char* value = argv[++i];
        char* end = nullptr;
        if (option == "--game") {
            gameName = value;
        } else if (option == "--port") {
            port = std::strtol(value, &end, 10);
            if (*end != '\0' || port < 1 || port > 65535) return usage();
        } else if (option == "--seconds") {
            seconds = std::strtod(value, &end);
            if (*end != '\0' || !(seconds > 0.0)) return usage();
        } else if (option == "--status") {
            if (!parseStatus(value, status)) return usage();
        } else {
            return usage();
        }
    }
    const auto* game = tarvelin::emulator::findGameEncoder(gameName);
    if (game == nullptr) {
        std::fprintf(stderr, "unknown game: %s\n", gameName);
        return usage();
    }
    tarvelin::emulator::TelemetryEmulator emulator(*game, static_cast<std::uint16_t>(port));
    if (!emulator.ready()) {
        std::fprintf(stderr,
                     "cannot play %s: its telemetry channel (%s) or its process (%s) could not be set up; is another "
                     "emulator or the game itself running?\n",
                     game->title, emulator.destination().c_str(),
                     game->executableName != nullptr ? game->executableName : "none needed");
        return 1;
    }
    emulator.setStatus(status);
    std::printf("playing %s: telemetry to %s at %.0f frames/s%s%s\n", game->title, emulator.destination().c_str(),
                game->framesPerSecond, game->executableName != nullptr ? ", process " : "",
                game->executableName != nullptr ? game->executableName : "");
    std::fflush(stdout);
    emulator.start();
    if (seconds > 0.0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    } else {
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
    emulator.stop();
    std::printf("%llu frames sent\n", static_cast<unsigned long long>(emulator.framesSent()));
    return 0;
}
