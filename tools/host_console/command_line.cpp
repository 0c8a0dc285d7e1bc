#include "host_console/command_line.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace tarvelin::console {

namespace {

std::optional<double> positiveSeconds(std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || !(value > 0.0)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint16_t> tcpPort(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

bool isComPort(std::string_view text) {
    if (text.size() <= 3) return false;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return false;
    }
    for (const char c : text.substr(3)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

const char* usageText() {
    return "usage: tarvelin_console [--library FILE] COMMAND [OPTIONS]\n"
           "\n"
           "  demo    play a game's telemetry through the engine to an emulated rig for 20 s\n"
           "            --game NAME         the game to play (default beamng; --game list names them)\n"
           "            --seconds S         run S seconds instead\n"
           "            --profile FILE      use FILE instead of the bundled example.profile\n"
           "            --record FILE.csv   write every engine cycle to FILE.csv\n"
           "            --log FILE          keep the library's own lines in FILE\n"
           "            --rig-port COMn     use the board of a running rig_emulator behind COMn\n"
           "            --rig-control PORT  its control port (default: $TARVELIN_RIG_EMULATOR_PORT)\n"
           "            --rig-board NAME    its board name (default: the port in lower case)\n"
           "  run PROFILE   drive a rig with PROFILE until Ctrl-C\n"
           "            --port COMn|auto    the rig's port (default: the profile's [link] port);\n"
           "                                on Linux also a device file, e.g. /dev/ttyACM0\n"
           "            --record FILE.csv   write every engine cycle to FILE.csv\n"
           "            --log FILE          keep the library's own lines in FILE\n"
           "            --seconds S         stop after S seconds\n"
           "          demo and run serve a live tuning page at http://127.0.0.1:8765/\n"
           "            --http PORT|off     serve it on PORT instead (0: any free port), or not at all\n"
           "            --http-bind ADDR    listen on ADDR instead of 127.0.0.1 (other machines can then\n"
           "                                reach the page and change the profile)\n"
           "  check PROFILE validate PROFILE: every line and every filter string\n"
           "  print   show the engine's telemetry record, cues and status once\n"
           "\n"
           "  --library FILE  the engine library (default: the one beside this program)\n";
}

bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error) {
    bool haveCommand = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&]() -> std::string_view { return argv[++i]; };
        auto need = [&](std::string_view option) {
            error = std::string(option) + " needs a value";
            return false;
        };
        auto only = [&](std::string_view option, std::initializer_list<Command> commands) {
            for (const Command command : commands) {
                if (line.command == command) return true;
            }
            error = std::string(option) + " does not apply to this command";
            return false;
        };

        if (argument == "--help" || argument == "-h") {
            line.command = Command::help;
            return true;
        }
        if (argument == "--library") {
            if (!hasValue) return need(argument);
            line.library = std::string(value());
        } else if (!haveCommand) {
            if (argument == "demo") line.command = Command::demo;
            else if (argument == "run") line.command = Command::run;
            else if (argument == "check") line.command = Command::check;
            else if (argument == "print") line.command = Command::print;
            else {
                error = "unknown command '" + std::string(argument) + "'";
                return false;
            }
            haveCommand = true;
        } else if (argument == "--seconds") {
            if (!only(argument, {Command::demo, Command::run})) return false;
            if (!hasValue) return need(argument);
            line.seconds = positiveSeconds(value());
            if (!line.seconds) {
                error = "--seconds needs a positive number";
                return false;
            }
        } else if (argument == "--game") {
            if (!only(argument, {Command::demo})) return false;
            if (!hasValue) return need(argument);
            line.game = std::string(value());
        } else if (argument == "--record") {
            if (!only(argument, {Command::demo, Command::run})) return false;
            if (!hasValue) return need(argument);
            line.record = std::string(value());
        } else if (argument == "--log") {
            if (!only(argument, {Command::demo, Command::run})) return false;
            if (!hasValue) return need(argument);
            line.log = std::string(value());
        } else if (argument == "--profile") {
            if (!only(argument, {Command::demo})) return false;
            if (!hasValue) return need(argument);
            line.profile = std::string(value());
        } else if (argument == "--port") {
            if (!only(argument, {Command::run})) return false;
            if (!hasValue) return need(argument);
            const std::string_view port = value();
            if (port.starts_with('/')) {
                line.port = std::string(port);  // a device file; whether it exists is for run to say
            } else if (upper(port) != "AUTO" && !isComPort(port)) {
                error = "--port is COMn, auto, or on Linux a device file such as /dev/ttyACM0";
                return false;
            } else {
                line.port = upper(port) == "AUTO" ? "auto" : upper(port);
            }
        } else if (argument == "--rig-port") {
            if (!only(argument, {Command::demo})) return false;
            if (!hasValue) return need(argument);
            if (!isComPort(argv[i + 1])) {
                error = "--rig-port is COMn";
                return false;
            }
            line.rigPort = upper(value());
        } else if (argument == "--rig-control") {
            if (!only(argument, {Command::demo})) return false;
            if (!hasValue) return need(argument);
            line.rigControl = tcpPort(value());
            if (!line.rigControl) {
                error = "--rig-control needs a TCP port number";
                return false;
            }
        } else if (argument == "--http") {
            if (!only(argument, {Command::demo, Command::run})) return false;
            if (!hasValue) return need(argument);
            const std::string_view port = value();
            line.httpAsked = true;
            if (upper(port) == "OFF") {
                line.httpPort.reset();
            } else {
                line.httpPort = tcpPort(port);
                if (port == "0") line.httpPort = 0;
                if (!line.httpPort) {
                    error = "--http needs a TCP port number, 0 for any free port, or off";
                    return false;
                }
            }
        } else if (argument == "--http-bind") {
            if (!only(argument, {Command::demo, Command::run})) return false;
            if (!hasValue) return need(argument);
            line.httpBind = std::string(value());
            line.httpAsked = true;
            if (line.httpBind.empty()) {
                error = "--http-bind needs an address";
                return false;
            }
        } else if (argument == "--rig-board") {
            if (!only(argument, {Command::demo})) return false;
            if (!hasValue) return need(argument);
            line.rigBoard = std::string(value());
        } else if (!argument.empty() && argument.front() != '-' &&
                   (line.command == Command::run || line.command == Command::check) && line.profile.empty()) {
            line.profile = std::string(argument);
        } else {
            error = "unexpected argument '" + std::string(argument) + "'";
            return false;
        }
    }
    if (!haveCommand) line.command = Command::help;
    if ((line.command == Command::run || line.command == Command::check) && line.profile.empty()) {
        error = "the command needs a profile file";
        return false;
    }
    if ((line.rigControl || !line.rigBoard.empty()) && line.rigPort.empty()) {
        error = "--rig-control and --rig-board go with --rig-port";
        return false;
    }
    return true;
}

}  // namespace tarvelin::console
