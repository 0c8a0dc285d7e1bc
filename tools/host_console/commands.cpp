#include "host_console/commands.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "host_console/demo_latency_probe.h"
#include "host_console/engine_api.h"
#include "host_console/filter_explanation.h"
#include "host_console/game_ports.h"
#include "host_console/page_session.h"
#include "host_console/port_check.h"
#include "host_console/profile_applier.h"
#include "host_console/profile_file.h"
#include "host_console/record_printer.h"
#include "platform/com_port_names.h"
#include "platform/dynamic_library.h"
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

// Reads a whole file; false with `error` holding the system's reason and what to do.
bool readProfileText(const std::filesystem::path& file, std::string& text, std::string& error) {
    std::error_code failure;
    if (std::filesystem::is_directory(file, failure)) {
        error = file.string() + " is a folder, not a profile file: name the file itself (" +
                (file / exampleProfileName).string() + ", say)";
        return false;
    }
    std::FILE* in = std::fopen(file.string().c_str(), "rb");
    if (in == nullptr) {
        const int reason = errno;
        error = "cannot read the profile " + file.string() + ": " + std::strerror(reason);
        if (reason == ENOENT) error += " (check the name and the folder; profiles/example.profile is one to start from)";
        if (reason == EACCES) error += " (check the file's permissions)";
        return false;
    }
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, in)) > 0;) text.append(buffer, count);
    const bool failed = std::ferror(in) != 0;
    const int reason = errno;
    std::fclose(in);
    if (failed) error = "cannot read the profile " + file.string() + ": " + std::strerror(reason);
    return !failed;
}

void printMessage(std::FILE* err, const std::filesystem::path& file, const ProfileMessage& message, const char* kind) {
    if (message.line > 0) {
        std::fprintf(err, "%s:%d: %s: %s\n", file.string().c_str(), message.line, kind, message.message.c_str());
    } else {
        std::fprintf(err, "%s: %s: %s\n", file.string().c_str(), kind, message.message.c_str());
    }
}

// Reads and parses a profile file, printing every error and warning as FILE:LINE: ...
// Returns the number of errors, or -1 when the file cannot be read.
int loadProfile(const std::filesystem::path& file, ProfileFile& profile, std::FILE* err) {
    std::string text;
    std::string error;
    if (!readProfileText(file, text, error)) {
        std::fprintf(err, "tarvelin_console: %s\n", error.c_str());
        return -1;
    }
    std::vector<ProfileError> errors;
    profile = parseProfileFile(text, errors);
    for (const auto& message : errors) printMessage(err, file, message, "error");
    for (const auto& message : profile.warnings) printMessage(err, file, message, "warning");
    return static_cast<int>(errors.size());
}

// Hands the profile to the engine; prints every filter string it rejects, with the reason at
// its place as FILE:LINE:COLUMN, and the text it reads past in the ones it takes. True when
// none was rejected.
bool installProfile(const EngineApi& api, const std::filesystem::path& file, const ProfileFile& profile, std::FILE* err) {
    for (const auto& filter : profile.filters) {
        const auto explanation = explainFilter(api, filter.filter);
        if (!explanation.accepted || explanation.message.empty()) continue;
        std::fprintf(err, "%s:%d:%d: warning: %s: %s\n", file.string().c_str(), filter.line,
                     filter.column + explanation.position, describeSlot(filter.profile, filter.slot).c_str(),
                     explanation.message.c_str());
    }
    const auto rejected = applyProfile(api, profile);
    for (const auto& filter : rejected) {
        const auto explanation = explainFilter(api, filter.filter);
        std::fprintf(err, "%s:%d:%d: error: %s: the engine rejects the filter string '%s': %s\n", file.string().c_str(),
                     filter.line, filter.column + std::max(explanation.position, 0),
                     describeSlot(filter.profile, filter.slot).c_str(), filter.filter.c_str(),
                     explanation.message.c_str());
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

// The rate limit of each axis the profile sets, in rig units per second; 0 where it sets none.
std::array<double, 6> axisRates(const ProfileFile& profile) {
    std::array<double, 6> rates{};
    for (const AxisRate& rate : profile.rateLimits) rates[static_cast<std::size_t>(rate.axis)] = rate.unitsPerSecond;
    return rates;
}

std::unique_ptr<RigPeer> startRigPeer(const CommandLine& line, const ProfileFile& profile, std::string& error) {
    if (profile.udp) {
        if (!line.rigPort.empty()) {
            error = "--rig-port names a serial board, but the profile's link runs over UDP (transport = udp)";
            return nullptr;
        }
        return startBuiltInNetworkRig(*profile.udp, error);
    }
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

SessionOptions sessionOptions(const std::string& title, const ProfileFile& profile, const ConsoleStreams& streams) {
    SessionOptions options;
    options.title = title;
    options.precisePacing = profile.precisePacing;
    options.lowLatency = profile.lowLatency.value_or(false);
    options.axisRanges = axisRanges(profile);
    options.parkMs = profile.parkMs.value_or(0.0);
    options.out = streams.out;
    // The live panel redraws in place only on a terminal; a file or a pipe gets lines.
    options.panel = streams.terminal;
    options.library = streams.library;
    return options;
}

// Starts keeping the library's lines in the --log file. False, with the reason printed, when
// the file cannot be made.
bool openLog(const CommandLine& line, const ConsoleStreams& streams, const std::string& title) {
    if (line.log.empty()) return true;
    if (streams.library == nullptr) {
        std::fprintf(streams.err, "tarvelin_console: the library's output cannot be captured here, so --log stays empty\n");
        return true;
    }
    const std::time_t now = std::time(nullptr);
    char date[64] = "";
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    std::string error;
    if (!streams.library->log().writeTo(line.log, "# tarvelin_console " + title + ", " + date +
                                                      ": the engine library's own console lines", error)) {
        std::fprintf(streams.err, "tarvelin_console: %s (choose another place with --log FILE)\n", error.c_str());
        return false;
    }
    return true;
}

// A device file given as the rig's port (Linux): the COM port that leads to it, made for the
// run when none does yet, and removed again afterwards.
class DevicePort {
public:
    ~DevicePort() {
        if (made_) platform::unlinkComPort(number_);
    }

    // Turns `port` into "COMn"; false with `error` set.
    bool resolve(std::string& port, std::string& error) {
        const std::filesystem::path device = port;
        if (!platform::comPortsAreLinks()) {
            error = "a device file as the port works on Linux only: give the board's COM port (COMn) or auto";
            return false;
        }
        std::error_code failure;
        if (!std::filesystem::exists(device, failure)) {
            error = "the device " + port + " does not exist: plug the board in; 'ls /dev/ttyACM* /dev/ttyUSB*' lists "
                    "the boards' devices";
            return false;
        }
        if (const auto number = platform::comPortOfDevice(device)) {
            number_ = *number;
        } else {
            for (number_ = firstOwnNumber; number_ <= lastOwnNumber; ++number_) {
                const auto link = platform::comPortPlace(number_).link;
                if (!std::filesystem::exists(std::filesystem::symlink_status(link, failure))) break;
            }
            if (number_ > lastOwnNumber || !platform::linkComPort(number_, device, error)) {
                if (error.empty()) error = "no free COM number for " + port;
                return false;
            }
            made_ = true;
        }
        port = "COM" + std::to_string(number_);
        return true;
    }

private:
    // Beyond the numbers anything else gives devices, so that the link never hides a port.
    static constexpr unsigned firstOwnNumber = 100;
    static constexpr unsigned lastOwnNumber = 189;
    unsigned number_ = 0;
    bool made_ = false;
};

}  // namespace

std::vector<std::string> runProblems(const SessionOptions& options, const SessionResult& result) {
    std::vector<std::string> problems;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", result.seconds);
    if (!result.gameFound) {
        std::string problem = std::string("no game was found in ") + seconds + ": ";
        if (!result.heldGamePorts.empty()) {
            problem += heldPortMessage(result.heldGamePorts.front());
        } else {
            problem += "start the game and switch on its telemetry output (the README lists the games and what each needs)";
        }
        problems.push_back(problem);
    }
    if (!result.linkConnected) {
        std::string problem = std::string("the rig link never connected in ") + seconds + ": ";
        if (options.port == "auto") {
            problem += "no rig controller answered on any COM port; plug the board in, or name its port with --port "
                       "COMn";
            if (platform::comPortsAreLinks()) problem += " or --port /dev/ttyACM0 (its device file)";
            if (options.usbChipCheck) problem += ", and set usb_chip_check = off in [link] if it is not on a known USB chip";
        } else {
            problem += "the rig controller on " + options.port + " stopped answering";
        }
        problems.push_back(problem);
    }
    return problems;
}

std::vector<std::string> roadProblems(const SessionResult& result) {
    std::vector<std::string> problems;
    if (!result.gameFound) problems.push_back("the engine found no game: the telemetry did not reach it");
    if (!result.linkConnected) problems.push_back("the rig link never connected");
    if (result.cycles.cycles == 0) problems.push_back("the engine ran no frame cycle");
    if (!result.rig) {
        problems.push_back("the rig controller emulator could not be asked what it received");
        return problems;
    }
    const auto sent = result.cycles.framesSent;
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

// The names the demo knows, for a user who asked for another or for the list.
std::string emulatedGameNames() {
    std::string names;
    for (const auto* game : emulator::gameEncoders()) names += std::string(names.empty() ? "" : ", ") + game->name;
    return names;
}

int demoCommand(const CommandLine& line, const ConsoleStreams& streams) {
    std::FILE* const out = streams.out;
    std::FILE* const err = streams.err;
    if (line.game == "list") {
        for (const auto* game : emulator::gameEncoders()) std::fprintf(out, "%-16s %s\n", game->name, game->title);
        return 0;
    }
    const auto* game = emulator::findGameEncoder(line.game.c_str());
    if (game == nullptr) {
        std::fprintf(err, "tarvelin_console: the demo cannot play '%s'; give --game one of: %s\n", line.game.c_str(),
                     emulatedGameNames().c_str());
        return 2;
    }
    if (!openLog(line, streams, "demo")) return 1;
    // The profile first: it tells which board the demo needs. The built-in emulator then sets up
    // the library's data folder, before the library is loaded.
    const auto profileFile = line.profile.empty() ? platform::executableFolder() / exampleProfileName : line.profile;
    ProfileFile profile;
    if (loadProfile(profileFile, profile, err) != 0) return 1;
    std::string error;
    const auto rig = startRigPeer(line, profile, error);
    if (!rig) {
        std::fprintf(err, "tarvelin_console: %s\n", error.c_str());
        return 1;
    }
    EngineApi api;
    if (!loadEngine(line, api, err)) return 1;
    if (!installProfile(api, profileFile, profile, err)) return 1;

    if (game->transport == emulator::Transport::datagrams && udpPortHeld(game->port)) {
        std::fprintf(err, "tarvelin_console: %s\n", heldPortMessage({game->title, game->port}).c_str());
        return 1;
    }
    emulator::TelemetryEmulator telemetry(*game);
    if (!telemetry.ready()) {
        std::fprintf(err,
                     "tarvelin_console: cannot play %s: its telemetry channel (%s) or a process named %s could not be "
                     "set up; is the game itself or another demo running?\n",
                     game->title, telemetry.destination().c_str(),
                     game->executableName != nullptr ? game->executableName : "after it");
        return 1;
    }

    auto options = sessionOptions("demo", profile, streams);
    options.logFile = line.log.string();
    options.seconds = line.seconds.value_or(20.0);
    options.record = line.record;
    options.port = rig->port();
    options.udp = profile.udp;
    // The emulated board sits on a virtual port, which has no USB chip to check.
    options.usbChipCheck = false;
    options.rig = rig.get();
    // The console plays both ends of the road here, so it can time frames along it.
    std::unique_ptr<DemoLatencyProbe> latency;
    if (rig->seesArrivals()) {
        latency = std::make_unique<DemoLatencyProbe>(telemetry.script(), *rig, options.axisRanges, axisRates(profile));
        telemetry.onSent([probe = latency.get()](double time, auto sent) { probe->frameSent(time, sent); });
    }
    options.latency = latency.get();
    const auto page = PageSession::start(line, api, "demo", profileFile, latency.get(), out, err);
    if (page) options.page = &page->hub();

    std::fprintf(out,
                 "demo: %s telemetry emulator -> %s -> engine (profile %s) -> rig link -> rig controller emulator on "
                 "%s\n",
                 game->title, telemetry.destination().c_str(), profileFile.filename().string().c_str(),
                 rig->port().c_str());
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

int runCommand(const CommandLine& line, const ConsoleStreams& streams) {
    std::FILE* const out = streams.out;
    std::FILE* const err = streams.err;
    ProfileFile profile;
    if (loadProfile(line.profile, profile, err) != 0) return 1;
    std::string port = line.port.empty() ? profile.port : line.port;
    if (profile.udp && !line.port.empty()) {
        std::fprintf(err, "tarvelin_console: --port names a serial port, but the profile's link runs over UDP "
                          "(transport = udp): remove --port, or set transport = serial in [link]\n");
        return 1;
    }
    if (port.empty() && !profile.udp) {
        std::fprintf(err, "tarvelin_console: no rig port: give --port COMn or auto, or set port in [link]\n");
        return 1;
    }
    DevicePort device;
    std::string error;
    if (!profile.udp && port.front() == '/') {
        const std::string file = port;
        if (!device.resolve(port, error)) {
            std::fprintf(err, "tarvelin_console: %s\n", error.c_str());
            return 1;
        }
        std::fprintf(out, "the rig's device %s is %s for this run\n", file.c_str(), port.c_str());
    }
    if (port != "auto" && !profile.udp) {
        if (const auto problem = serialPortProblem(port, "the rig port"); !problem.empty()) {
            std::fprintf(err, "tarvelin_console: %s\n", problem.c_str());
            return 1;
        }
    }
    if (profile.fan) {
        if (const auto problem = serialPortProblem(profile.fan->port, "the fan's port"); !problem.empty()) {
            std::fprintf(err, "tarvelin_console: %s\n", problem.c_str());
            return 1;
        }
    }
    EngineApi api;
    if (!loadEngine(line, api, err)) return 1;
    if (!installProfile(api, line.profile, profile, err)) {
        std::fprintf(err, "tarvelin_console: not starting: the engine would hold the rig still\n");
        return 1;
    }
    if (!openLog(line, streams, "run " + line.profile.filename().string())) return 1;

    auto options = sessionOptions(line.profile.filename().string(), profile, streams);
    options.seconds = line.seconds;
    options.record = line.record;
    options.port = port;
    options.udp = profile.udp;
    options.usbChipCheck = profile.usbChipCheck.value_or(true);
    options.fan = profile.fan;
    options.logFile = line.log.string();
    const auto page = PageSession::start(line, api, options.title, line.profile, nullptr, out, err);
    if (page) options.page = &page->hub();
    platform::catchStopRequests();
    SessionResult result;
    if (!runSession(api, options, result, error)) {
        std::fprintf(err, "tarvelin_console: %s\n", error.c_str());
        return 1;
    }
    printSummary(out, options, result);
    const auto problems = runProblems(options, result);
    for (const auto& problem : problems) std::fprintf(err, "tarvelin_console: %s\n", problem.c_str());
    return problems.empty() ? 0 : 1;
}

int checkCommand(const CommandLine& line, const ConsoleStreams& streams) {
    std::FILE* const out = streams.out;
    std::FILE* const err = streams.err;
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

int printCommand(const CommandLine& line, const ConsoleStreams& streams) {
    EngineApi api;
    if (!loadEngine(line, api, streams.err)) return 1;
    printRecord(api, streams.out);
    return 0;
}

}  // namespace tarvelin::console
