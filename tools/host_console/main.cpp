// The host console: drives the motion engine through its exported functions only, loading the
// library at run time as a rig's control program does.

#include <cstdio>
#include <string>

#include "host_console/command_line.h"
#include "host_console/commands.h"
#include "host_console/library_capture.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
    using namespace tarvelin::console;
    CommandLine line;
    std::string error;
    if (!parseCommandLine(argc - 1, argv + 1, line, error)) {
        std::fprintf(stderr, "tarvelin_console: %s\n\n%s", error.c_str(), usageText());
        return 2;
    }
    ConsoleStreams streams;
    // Whether the output is a terminal is asked before the streams are captured, which makes
    // them pipes.
    streams.terminal = tarvelin::platform::standardOutputIsTerminal() && tarvelin::platform::enableTerminalSequences();
    // While the engine runs, the library's own lines go to the log area and --log rather than
    // across the live view.
    LibraryLog log;
    LibraryCapture capture(log);
    if ((line.command == Command::demo || line.command == Command::run) && capture.start()) {
        streams.out = capture.output();
        streams.err = capture.errors();
        streams.library = &capture;
    }
    int status = 2;
    switch (line.command) {
        case Command::help:
            std::fputs(usageText(), stdout);
            status = argc > 1 ? 0 : 2;
            break;
        case Command::demo: status = demoCommand(line, streams); break;
        case Command::run: status = runCommand(line, streams); break;
        case Command::check: status = checkCommand(line, streams); break;
        case Command::print: status = printCommand(line, streams); break;
    }
    std::fflush(streams.out);
    std::fflush(streams.err);
    capture.stop();
    return status;
}
