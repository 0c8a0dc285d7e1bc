// The host console: drives the motion engine through its exported functions only, loading the
// library at run time as a rig's control program does.

#include <cstdio>
#include <cstring>
#include <string>

#include "host_console/engine_api.h"
#include "host_console/record_printer.h"

namespace {

void printUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: tarvelin_console [--library FILE] [print]\n"
                 "  print   show the telemetry record, the cue arrays and the time frames (default)\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path library = tarvelin::console::defaultLibraryPath();
    std::string command = "print";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--library") == 0 && i + 1 < argc) {
            library = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
            return 0;
        } else if (argv[i][0] != '-') {
            command = argv[i];
        } else {
            printUsage(stderr);
            return 2;
        }
    }

    tarvelin::console::EngineApi api;
    std::string error;
    if (!api.load(library, error)) {
        std::fprintf(stderr, "tarvelin_console: %s\n", error.c_str());
        return 1;
    }
    if (command == "print") {
        tarvelin::console::printRecord(api, stdout);
        return 0;
    }
    std::fprintf(stderr, "tarvelin_console: unknown command '%s'\n", command.c_str());
    printUsage(stderr);
    return 2;
}
