#include "host_console/commands.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "beamng_encoder.h"
#include "host_console/engine_api.h"
#include "host_console/port_check.h"
#include "host_console/profile_applier.h"
#include "host_console/profile_file.h"
#include "host_console/record_printer.h"
#include "platform/dynamic_library.h"
#include "platform/socket.h"
#include "platform/terminal.h"
#include "telemetry_emulator.h"

namespace tarvelin::console {

namespace {

constexpr const char* exampleProfileName = "example.profile";
constexpr const char* rigEmulatorPortVariable = "TARVELIN_RIG_EMULATOR_PORT";
// At least this share of the frames the engine sent must reach the rig controller. The link
// drops frames only when it falls 150 behind (300 ms), which a healthy machine never does.
constexpr double deliveredShareRequired = 0.95;

bool loadEngine(const CommandLine& line, EngineApi& api, std::FILE* err) {
    const auto library = line.library.empty() ? defaultLibraryPath() : line.library;
    std::string error;
    if (api.load(library, error)) return true;
    std::fprintf(err, "tarvelin_console: %s\n", error.c_str());
    if (line.library.empty()) std::fprintf(err, "tarvelin_console: name the engine library with --library FILE\n");
    return false;
}

bool readFile(const std::filesystem::path& file, std::string& text) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return !in.bad();
}

// Reads and parses a profile file, printing every error and warning as FILE:LINE: ...
// Returns the number of errors, or -1 when the file cannot be read.
int loadProfile(const std::filesystem::path& file, ProfileFile& profile, std::FILE* err) {
    std::string text;
    if (!readFile(file, text)) {
        std::fprintf(err, "tarvelin_console: cannot read the profile %s\n", file.string().c_str());
        return -1;
    }
    std::vector<ProfileError> errors;
    profile = parseProfileFile(text, errors);
    for (const auto& error : errors) {
        std::fprintf(err, "%s:%d: error: %s\n", file.string().c_str(), error.line, error.message.c_str());
    }
    for (const auto& warning : profile.warnings) {
        std::fprintf(err, "%s:%d: warning: %s\n", file.string().c_str(), warning.line, warning.message.c_str());
    }
    return static_cast<int>(errors.size());
}

// Hands the profile to the engine; prints every filter string it rejects. True when none was.
bool installProfile(const EngineApi& api, const std::filesystem::path& file, const ProfileFile& profile, std::FILE* err) {
    const auto rejected = applyProfile(api, profile);
    for (const auto& filter : rejected) {
        std::fprintf(err, "%s:%d: error: %s: the engine rejects the filter string '%s'\n", file.string().c_str(),
                     filter.line, describeSlot(filter.profile, filter.slot).c_str(), filter.filter.c_str());
    }
    return rejected.empty();
}

std::array<AxisRange, 6> axisRanges(const ProfileFile& profile) {
    std::array<AxisRange, 6> ranges{};
    for (int axis = 0; axis < 6; ++axis) {
        if (const auto* limit = profile.rigLimit(axis); limit != nullptr && limit->high > limit->low) {
            ranges[static_cast<std::size_t>(axis)] = {limit->low, limit->high};
        }
    }
    return ranges;
}

// Whether nothing holds the UDP port the demo's telemetry goes to; the engine could not hear
// the game otherwise.
bool udpPortFree(std::uint16_t port) {
    if (platform::socketStartup() != 0) return true;
    bool free = true;
    const auto socket = platform::openUdpSocket();
    if (socket != platform::invalidSocket) {
        free = platform::bindSocket(socket, platform::SocketAddress{0, port}) ||
               platform::lastSocketError() != platform::socketErrorAddressInUse;
        platform::closeSocket(socket);
    }
    platform::socketCleanup();
    return free;
}

std::unique_ptr<RigPeer> startRigPeer(const CommandLine& line, std::string& error) {
    if (line.rigPort.empty()) return startBuiltInRig(error);
    std::optional<std::uint16_t> control = line.rigControl;
    if (!control) {
        const char* variable = std::getenv(rigEmulatorPortVariable);
        const long value = variable != nullptr ? std::strtol(variable, nullptr, 10) : 0;
        if (value <= 0 || value > 65535) {
            error = std::string("--rig-port needs the emulator's control port: give --rig-control PORT or set ") +
                    rigEmulatorPortVariable;
            return nullptr;
        }
        control = static_cast<std::uint16_t>(value);
    }
    std::string board = line.rigBoard;
    if (board.empty()) {
        for (const char c : line.rigPort) board += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return connectExternalRig(line.rigPort, *control, board, error);
}

SessionOptions sessionOptions(const std::string& title, const ProfileFile& profile, std::FILE* out) {
    SessionOptions options;
    options.title = title;
    options.precisePacing = profile.precisePacing;
    options.axisRanges = axisRanges(profile);
    options.parkMs = profile.parkMs.value_or(0.0);
    options.out = out;
    // The live panel redraws in place only on a terminal; a file or a pipe gets lines.
    options.panel = out == stdout && platform::standardOutputIsTerminal() && platform::enableTerminalSequences();
    return options;
}

}  // namespace

std::vector<std::string> roadProblems(const SessionResult& result) {
    std::vector<std::string> problems;
    if (!result.gameFound) problems.push_back("the engine found no game: the telemetry did not reach it");
    if (!result.linkConnected) problems.push_back("the rig link never connected");
    if (result.cycles.cycles == 0) problems.push_back("the engine ran no frame cycle");
    if (!result.rig) {
        problems.push_back("the rig controller emulator could not be asked what it received");
        return problems;
    }
    const auto sent = result.cycles.cycles;
    const auto good = result.rig->goodFrames;
    if (good == 0) {
        problems.push_back("no frame reached the rig controller");
    } else if (static_cast<double>(good) < deliveredShareRequired * static_cast<double>(sent)) {
        problems.push_back("only " + std::to_string(good) + " of " + std::to_string(sent) +
                           " frames reached the rig controller");
    }
    if (result.rig->badFrames > 0) {
        problems.push_back(std::to_string(result.rig->badFrames) + " frames reached the rig controller with a bad check field");
    }
    return problems;
}

int demoCommand(const CommandLine& line, std::FILE* out, std::FILE* err) {
    // The built-in emulator sets up the library's data folder, before anything else runs.
    std::string error;
    const auto rig = startRigPeer(line, error);
    if (!rig) {
        std::fprintf(err, "tarvelin_console: %s\n", error.c_str());
        return 1;
    }
    EngineApi api;
    if (!loadEngine(line, api, err)) return 1;

    const auto profileFile = line.profile.empty() ? platform::executableFolder() / exampleProfileName : line.profile;
    ProfileFile profile;
    if (loadProfile(profileFile, profile, err) != 0) return 1;
    if (!installProfile(api, profileFile, profile, err)) return 1;

    const auto& game = emulator::beamNgEncoder;
    if (!udpPortFree(game.port)) {
        std::fprintf(err,
                     "tarvelin_console: UDP port %u, where the engine listens for %s telemetry, is in use by another "
                     "program\n",
                     static_cast<unsigned>(game.port), "BeamNG");
        return 1;
    }
    emulator::TelemetryEmulator telemetry(game);
    if (!telemetry.ready()) {
        std::fprintf(err, "tarvelin_console: cannot open a UDP socket for the telemetry emulator\n");
        return 1;
    }

    auto options = sessionOptions("demo", profile, out);
    options.seconds = line.seconds.value_or(20.0);
    options.record = line.record;
    options.port = rig->port();
    // The emulated board sits on a virtual port, which has no USB chip to check.
    options.usbChipCheck = false;
    options.rig = rig.get();

    std::fprintf(out,
                 "demo: BeamNG telemetry emulator -> 127.0.0.1:%u -> engine (profile %s) -> rig link -> rig "
                 "controller emulator on %s\n",
                 static_cast<unsigned>(game.port), profileFile.filename().string().c_str(), rig->port().c_str());
    platform::catchStopRequests();
    telemetry.start();
    SessionResult result;
    const bool ran = runSession(api, options, result, error);
    telemetry.stop();
    if (!ran) {
        std::fprintf(err, "tarvelin_console: %s\n", error.c_str());
        return 1;
    }
    printSummary(out, options, result);
    const auto problems = roadProblems(result);
    if (problems.empty()) {
        std::fprintf(out, "the road of the frame is whole: telemetry -> engine -> rig link -> rig controller\n");
        return 0;
    }
    std::fprintf(out, "THE ROAD OF THE FRAME IS BROKEN:\n");
    for (const auto& problem : problems) std::fprintf(out, "  - %s\n", problem.c_str());
    return 1;
}

int runCommand(const CommandLine& line, std::FILE* out, std::FILE* err) {
    ProfileFile profile;
    if (loadProfile(line.profile, profile, err) != 0) return 1;
    const std::string port = line.port.empty() ? profile.port : line.port;
    if (port.empty()) {
        std::fprintf(err, "tarvelin_console: no rig port: give --port COMn or auto, or set port in [link]\n");
        return 1;
    }
    if (port != "auto") {
        if (const auto problem = serialPortProblem(port); !problem.empty()) {
            std::fprintf(err, "tarvelin_console: the rig port %s\n", problem.c_str());
            return 1;
        }
    }
    EngineApi api;
    if (!loadEngine(line, api, err)) return 1;
    if (!installProfile(api, line.profile, profile, err)) {
        std::fprintf(err, "tarvelin_console: not starting: the engine would hold the rig still\n");
        return 1;
    }

    auto options = sessionOptions(line.profile.filename().string(), profile, out);
    options.seconds = line.seconds;
    options.record = line.record;
    options.port = port;
    options.usbChipCheck = profile.usbChipCheck.value_or(true);
    options.fan = profile.fan;
    platform::catchStopRequests();
    SessionResult result;
    std::string error;
    if (!runSession(api, options, result, error)) {
        std::fprintf(err, "tarvelin_console: %s\n", error.c_str());
        return 1;
    }
    printSummary(out, options, result);
    return 0;
}

int checkCommand(const CommandLine& line, std::FILE* out, std::FILE* err) {
    ProfileFile profile;
    const int errors = loadProfile(line.profile, profile, err);
    if (errors < 0) return 1;
    // Even with errors in the file, the filter strings that parsed are tried, so that one run
    // shows every mistake.
    EngineApi api;
    if (!loadEngine(line, api, err)) return 1;
    const auto rejected = installProfile(api, line.profile, profile, err) ? 0 : 1;
    const bool valid = errors == 0 && rejected == 0;
    std::fprintf(out, "%s: %s (%zu filter strings, %zu warnings)\n", line.profile.string().c_str(),
                 valid ? "valid" : "INVALID", profile.filters.size(), profile.warnings.size());
    return valid ? 0 : 1;
}

int printCommand(const CommandLine& line, std::FILE* out, std::FILE* err) {
    EngineApi api;
    if (!loadEngine(line, api, err)) return 1;
    printRecord(api, out);
    return 0;
}

}  // namespace tarvelin::console
