// The rig controller emulator as a program: boards on pseudo-terminals and on the network,
// driven over a control connection (see control_server.h).
//
//   rig_emulator --folder DIR [--port N] [--port-file FILE] [--control-address ADDR]
//                [--attach NAME]...
//
// The control connection listens on 127.0.0.1, or on ADDR (a test's own network namespace,
// where the test runs in another).
// Each --attach makes a board at once, behind the link DIR/NAME. The control port is printed
// and, with --port-file, written to FILE once the server listens. The program ends on "quit",
// SIGINT or SIGTERM.

#include <arpa/inet.h>
#include <time.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "control_server.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) {
    stopRequested = 1;
}
}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    std::string portFile;
    unsigned long port = 0;
    std::uint32_t controlAddress = INADDR_LOOPBACK;
    std::vector<std::string> boards;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--folder") folder = argv[i + 1];
        else if (option == "--port") port = std::strtoul(argv[i + 1], nullptr, 10);
        else if (option == "--port-file") portFile = argv[i + 1];
        else if (option == "--attach") boards.emplace_back(argv[i + 1]);
        else if (option == "--control-address") {
            in_addr parsed{};
            if (inet_pton(AF_INET, argv[i + 1], &parsed) != 1) {
                std::fprintf(stderr, "not an IPv4 address: %s\n", argv[i + 1]);
                return 2;
            }
            controlAddress = ntohl(parsed.s_addr);
        }
        else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (folder.empty() || port > 65535) {
        std::fprintf(stderr, "usage: %s --folder DIR [--port N] [--port-file FILE] [--control-address ADDR] [--attach NAME]...\n", argv[0]);
        return 2;
    }

    rig_emulator::ControlServer server(folder);
    const std::uint16_t listening = server.listen(static_cast<std::uint16_t>(port), controlAddress);
    if (listening == 0) {
        std::perror("listen");
        return 1;
    }
    for (const auto& name : boards) {
        if (!server.device(name).attach()) {
            std::fprintf(stderr, "cannot make a terminal for %s\n", name.c_str());
            return 1;
        }
        std::printf("board %s at %s\n", name.c_str(), server.device(name).slavePath().c_str());
    }
    std::printf("control port %u\n", listening);
    std::fflush(stdout);
    if (!portFile.empty()) {
        const std::string temporary = portFile + ".tmp";
        std::ofstream(temporary) << listening << "\n";
        std::rename(temporary.c_str(), portFile.c_str());
    }

    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    server.start();
    while (stopRequested == 0 && server.serving()) {
        struct timespec pause{0, 100000000};
        nanosleep(&pause, nullptr);
    }
    server.stop();
    return 0;
}
