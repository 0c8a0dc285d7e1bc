// The host console: drives the motion engine through its exported functions only, loading the
// library at run time as a rig's control program does.

#include <cstdio>
#include <string>

#include "host_console/command_line.h"
#include "host_console/commands.h"

int main(int argc, char** argv) {
    using namespace tarvelin::console;
    CommandLine line;
    std::string error;
    if (!parseCommandLine(argc - 1, argv + 1, line, error)) {
        std::fprintf(stderr, "tarvelin_console: %s\n\n%s", error.c_str(), usageText());
        return 2;
    }
    switch (line.command) {
        case Command::help:
            std::fputs(usageText(), stdout);
            return argc > 1 ? 0 : 2;
        case Command::demo: return demoCommand(line, stdout, stderr);
        case Command::run: return runCommand(line, stdout, stderr);
        case Command::check: return checkCommand(line, stdout, stderr);
        case Command::print: return printCommand(line, stdout, stderr);
    }
    return 2;
}
