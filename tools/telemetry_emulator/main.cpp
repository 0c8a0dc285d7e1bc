// Plays a game's telemetry on this machine, for trying the engine without the game:
//
//   tarvelin_telemetry_emulator [--game beamng] [--port N] [--seconds S]
//
// Sends the scripted drive to 127.0.0.1 at the game's rate until S seconds have passed
// (default: until interrupted).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "telemetry_emulator.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: tarvelin_telemetry_emulator [--game beamng] [--port N] [--seconds S]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* gameName = "beamng";
    long port = 0;
    double seconds = 0.0;
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
        std::fprintf(stderr, "cannot open a UDP socket\n");
        return 1;
    }
    std::printf("sending %s telemetry to 127.0.0.1:%u at %.0f frames/s\n", game->name,
                static_cast<unsigned>(emulator.port()), game->framesPerSecond);
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
