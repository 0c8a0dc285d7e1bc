#pragma once
// The console's command line:
//
//   tarvelin_console [--library FILE] demo [--game NAME] [--seconds S] [--profile FILE] [--record FILE.csv]
//                                          [--log FILE]
//                                          [--rig-port COMn [--rig-control PORT] [--rig-board NAME]]
//                                          [--http PORT|off] [--http-bind ADDR]
//   tarvelin_console [--library FILE] run PROFILE [--port COMn|auto|DEVICE] [--record FILE.csv]
//                                                 [--log FILE] [--seconds S]
//                                                 [--http PORT|off] [--http-bind ADDR]
//   tarvelin_console [--library FILE] check PROFILE
//   tarvelin_console [--library FILE] print

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tarvelin::console {

enum class Command { help, print, demo, run, check };

// Where run and demo serve the tuning page unless told otherwise.
inline constexpr std::uint16_t defaultHttpPort = 8765;
inline constexpr const char* defaultHttpBind = "127.0.0.1";

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
    // The tuning page: none when off; port 0 lets the system choose a free one.
    std::optional<std::uint16_t> httpPort = defaultHttpPort;
    std::string httpBind = defaultHttpBind;
    bool httpAsked = false;  // --http or --http-bind was given
};

// Parses the arguments after the program name. False with `error` set for a usage error.
bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error);

// The usage text.
const char* usageText();

}  // namespace tarvelin::console
