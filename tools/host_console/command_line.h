#pragma once
// The console's command line:
//
//   tarvelin_console [--library FILE] demo [--game NAME] [--seconds S] [--profile FILE] [--record FILE.csv]
//                                          [--log FILE]
//                                          [--rig-port COMn [--rig-control PORT] [--rig-board NAME]]
//   tarvelin_console [--library FILE] run PROFILE [--port COMn|auto|DEVICE] [--record FILE.csv]
//                                                 [--log FILE] [--seconds S]
//   tarvelin_console [--library FILE] check PROFILE
//   tarvelin_console [--library FILE] print

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tarvelin::console {

enum class Command { help, print, demo, run, check };

struct CommandLine {
    Command command = Command::help;
    std::filesystem::path library;  // empty: the library beside the console
    std::filesystem::path profile;
    std::optional<double> seconds;
    std::filesystem::path record;
    std::filesystem::path log;      // the library's own lines, time-stamped
    std::string game = "beamng";   // demo: the emulated game, by the emulator's name for it
    std::string port;               // run: overrides the profile's port: COMn, auto or a device file
    std::string rigPort;            // demo: an external emulator's board behind this COM port
    std::optional<std::uint16_t> rigControl;
    std::string rigBoard;
};

// Parses the arguments after the program name. False with `error` set for a usage error.
bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error);

// The usage text.
const char* usageText();

}  // namespace tarvelin::console
