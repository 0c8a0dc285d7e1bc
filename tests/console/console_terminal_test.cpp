// The console as a rig owner meets it: started on a terminal (a pseudo-terminal here), its exit
// status and its screen as the terminal shows it at the end. One case per situation a user runs
// into: the demo, no game, no rig, a game port another program holds, a port the USB chip check
// refuses, a port that does not exist, the rig's device file given as the port, and profiles
// that cannot be used.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "beamng_encoder.h"
#include "platform/app_data.h"
#include "platform/socket.h"
#include "rig_device.h"
#include "telemetry_emulator.h"
#include "wire.h"

namespace {

constexpr int screenRows = 70;
constexpr int screenColumns = 80;

// The little of a terminal the console uses: printable text, line ends, cursor home, erasing
// to the end of the line and of the screen. What scrolls off the top is gone, as on a screen.
// A line the terminal wrapped at the right margin reads back as one line.
class Screen {
public:
    Screen() : rows_(screenRows, std::string()), wrapped_(screenRows, false) {}

    void feed(const std::string& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c == '\x1b' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
                std::size_t end = i + 2;
                while (end < bytes.size() && !std::isalpha(static_cast<unsigned char>(bytes[end]))) ++end;
                if (end < bytes.size()) control(bytes.substr(i + 2, end - i - 2), bytes[end]);
                i = end;
            } else if (c == '\r') {
                column_ = 0;
            } else if (c == '\n') {
                lineFeed();
            } else if (static_cast<unsigned char>(c) >= 0x20) {
                if (column_ >= screenColumns) {
                    column_ = 0;
                    lineFeed();
                    wrapped_[static_cast<std::size_t>(row_)] = true;
                }
                auto& line = rows_[static_cast<std::size_t>(row_)];
                if (line.size() <= static_cast<std::size_t>(column_)) line.resize(static_cast<std::size_t>(column_) + 1, ' ');
                line[static_cast<std::size_t>(column_++)] = c;
            }
        }
    }

    std::string text() const {
        std::string out;
        for (std::size_t row = 0; row < rows_.size(); ++row) {
            if (wrapped_[row] && !out.empty()) out.pop_back();
            std::string trimmed = rows_[row];
            while (!trimmed.empty() && trimmed.back() == ' ' && !(row + 1 < rows_.size() && wrapped_[row + 1])) trimmed.pop_back();
            out += trimmed + '\n';
        }
        while (out.size() > 1 && out[out.size() - 2] == '\n') out.pop_back();
        return out;
    }

private:
    void lineFeed() {
        if (row_ + 1 < screenRows) {
            ++row_;
            wrapped_[static_cast<std::size_t>(row_)] = false;
        } else {
            rows_.erase(rows_.begin());
            rows_.emplace_back();
            wrapped_.erase(wrapped_.begin());
            wrapped_.push_back(false);
        }
    }

    void control(const std::string& parameters, char command) {
        auto& line = rows_[static_cast<std::size_t>(row_)];
        switch (command) {
            case 'H':
                row_ = 0;
                column_ = 0;
                break;
            case 'K':
                if (line.size() > static_cast<std::size_t>(column_)) line.resize(static_cast<std::size_t>(column_));
                break;
            case 'J':
                if (parameters == "2") {
                    for (auto& each : rows_) each.clear();
                    wrapped_.assign(wrapped_.size(), false);
                } else {
                    if (line.size() > static_cast<std::size_t>(column_)) line.resize(static_cast<std::size_t>(column_));
                    for (auto row = static_cast<std::size_t>(row_) + 1; row < rows_.size(); ++row) {
                        rows_[row].clear();
                        wrapped_[row] = false;
                    }
                }
                break;
            default:
                break;  // showing and hiding the cursor
        }
    }

    std::vector<std::string> rows_;
    std::vector<bool> wrapped_;  // the row continues the one above it
    int row_ = 0;
    int column_ = 0;
};

struct TerminalRun {
    int status = -1;
    std::string screen;
};

// Runs the console with `arguments` on a fresh pseudo-terminal of 80 columns until it ends.
TerminalRun runOnTerminal(const std::vector<std::string>& arguments) {
    TerminalRun run;
    winsize size{};
    size.ws_row = screenRows;
    size.ws_col = screenColumns;
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, &size);
    if (child < 0) return run;
    if (child == 0) {
        std::vector<char*> argv;
        std::string program = TARVELIN_CONSOLE;
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (auto& argument : copies) argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    Screen screen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    char buffer[4096];
    for (;;) {
        pollfd readable{terminal, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            break;
        }
        if (::poll(&readable, 1, 200) <= 0) continue;
        const ssize_t count = ::read(terminal, buffer, sizeof buffer);
        if (count <= 0) break;  // EIO once the console and its terminal are gone
        screen.feed(std::string(buffer, static_cast<std::size_t>(count)));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(terminal);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.screen = screen.text();
    return run;
}

std::filesystem::path dataFolder() { return tarvelin::platform::roamingAppDataFolder(); }
std::filesystem::path linkFolder() { return dataFolder() / "tarvelin" / "dosdevices"; }

std::filesystem::path writeProfile(const std::string& name, const std::string& port, bool chipCheck,
                                   const std::string& extra = "") {
    std::ifstream example(TARVELIN_EXAMPLE_PROFILE);
    std::string text((std::istreambuf_iterator<char>(example)), std::istreambuf_iterator<char>());
    const auto replace = [&text](const std::string& from, const std::string& to) {
        if (const auto at = text.find(from); at != std::string::npos) text.replace(at, from.size(), to);
    };
    replace("port = auto", "port = " + port);
    replace("usb_chip_check = on", std::string("usb_chip_check = ") + (chipCheck ? "on" : "off"));
    const auto file = dataFolder() / name;
    std::ofstream(file) << text << extra;
    return file;
}

// A board that answers as a rig controller, behind `link`.
struct Board {
    explicit Board(const std::filesystem::path& link) : device(link) {
        attached = device.attach();
        device.setReply(rig_emulator::shortFrame(0x01, 0x01, 0x00, true), false);
    }
    rig_emulator::RigDevice device;
    bool attached = false;
};

// Another program on a game's telemetry port.
struct HeldUdpPort {
    explicit HeldUdpPort(std::uint16_t port) {
        tarvelin::platform::socketStartup();
        socket = tarvelin::platform::openUdpSocket();
        bound = tarvelin::platform::bindSocket(socket, tarvelin::platform::SocketAddress{0, port});
    }
    ~HeldUdpPort() {
        tarvelin::platform::closeSocket(socket);
        tarvelin::platform::socketCleanup();
    }
    tarvelin::platform::SocketHandle socket;
    bool bound = false;
};

struct Case {
    const char* what;
    std::function<std::vector<std::string>()> arguments;  // after the program name; sets up what it needs
    int status;
    std::vector<const char*> screen;  // every expression must match the final screen
    std::vector<const char*> absent;  // none may match
};

}  // namespace

TEST(ConsoleOnATerminal, SaysWhatHappenedAndWhatToDoNext) {
    const std::string example = TARVELIN_EXAMPLE_PROFILE;
    const std::string library = TARVELIN_LIBRARY;
    std::filesystem::create_directories(linkFolder());
    // The library's lines belong in the log area, never at the start of a screen line.
    const char* rawLibraryLine = "(^|\n)(Error connecting|opened\\.\\.|vid wrong|COM1 |bind socket)";

    Board rig(linkFolder() / "com44");
    Board chiplessRig(linkFolder() / "com46");
    Board unlinkedRig(dataFolder() / "elsewhere" / "rig");  // reached only by its device file
    ASSERT_TRUE(rig.attached && chiplessRig.attached && unlinkedRig.attached);
    const auto noGameProfile = writeProfile("no-game.profile", "COM44", false).string();
    const auto chipCheckProfile = writeProfile("chip-check.profile", "COM46", true).string();
    const auto deviceProfile = writeProfile("device.profile", "COM44", false).string();
    const auto fanProfile = writeProfile("fan.profile", "COM44", false, "[fan]\nbaud = 9600\n").string();
    std::ofstream(dataFolder() / "empty.profile") << "# nothing yet\n";

    tarvelin::emulator::TelemetryEmulator game(tarvelin::emulator::beamNgEncoder);
    ASSERT_TRUE(game.ready());
    std::unique_ptr<HeldUdpPort> heldPort;

    const std::vector<Case> cases = {
        {"the demo",
         [] { return std::vector<std::string>{"demo", "--seconds", "3"}; },
         0,
         {"game +BeamNG \\(12\\) +telemetry +[0-9]+ frames/s", "rig link +COM199 connected", "cues +(live|blending in)",
          "library output", "opened\\.\\.\\.\\.id correct\\.", "the road of the frame is whole"},
         {rawLibraryLine}},
        {"no game and no rig",
         [&] { return std::vector<std::string>{"--library", library, "run", example, "--port", "auto", "--seconds", "2"}; },
         1,
         {"cues +waiting for a game: start it", "rig link +searching COM ports +sent 0 ",
          "Error connecting to server: [A-Za-z ]+ +x[0-9]+\n",
          "tarvelin_console: no game was found in [0-9.]+ s: start the game",
          "tarvelin_console: the rig link never connected in [0-9.]+ s: no rig controller answered on any COM port"},
         {rawLibraryLine}},
        {"a rig but no game",
         [&] { return std::vector<std::string>{"--library", library, "run", noGameProfile, "--seconds", "2"}; },
         1,
         {"rig link +COM44 connected", "rig link +connected on COM44", "tarvelin_console: no game was found"},
         {"never connected", rawLibraryLine}},
        {"a game port held by another program",
         [&] {
             heldPort = std::make_unique<HeldUdpPort>(tarvelin::emulator::beamNgEncoder.port);
             return std::vector<std::string>{"--library", library, "run", noGameProfile, "--seconds", "3"};
         },
         1,
         {"cues +waiting: UDP port 4444, where the engine listens for",
          "no game was found in [0-9.]+ s: UDP port 4444, where the engine listens for BeamNG\\.drive telemetry, is held "
          "by another program: close that program"},
         {rawLibraryLine}},
        {"a port the USB chip check refuses",
         [&] {
             heldPort.reset();
             return std::vector<std::string>{"--library", library, "run", chipCheckProfile, "--seconds", "2"};
         },
         1,
         {"COM46 is not on one of the USB serial chips the rig link knows",
          "set 'usb_chip_check = off' in the profile's \\[link\\] section"},
         {rawLibraryLine}},
        {"a port that does not exist",
         [&] { return std::vector<std::string>{"--library", library, "run", example, "--port", "COM250"}; },
         1,
         {"the rig port COM250 does not exist\\. On Linux, COM250 is the device that the link [^ ]+/tarvelin/dosdevices/com250",
          "ln -s /dev/ttyACM0 [^ ]+/dosdevices/com250", "--port /dev/ttyACM0"},
         {}},
        {"the rig's device file as the port, with a game",
         [&] {
             game.start();
             return std::vector<std::string>{"--library", library,  "run",        deviceProfile,
                                             "--port",    unlinkedRig.device.slavePath(), "--seconds", "3"};
         },
         0,
         {"rig link +COM1[0-9][0-9] connected", "game +BeamNG \\(12\\)", "rig link +connected on COM1[0-9][0-9]",
          "frames sent +[1-9][0-9]+"},
         {"tarvelin_console:"}},
        {"a device file that does not exist",
         [&] {
             game.stop();
             return std::vector<std::string>{"--library", library, "run", example, "--port", "/dev/ttyACM99"};
         },
         1,
         {"the device /dev/ttyACM99 does not exist: plug the board in"},
         {}},
        {"a profile that is not there",
         [&] { return std::vector<std::string>{"--library", library, "check", "no-such.profile"}; },
         1,
         {"cannot read the profile no-such\\.profile: No such file or directory \\(check the name"},
         {}},
        {"a folder instead of a profile",
         [&] { return std::vector<std::string>{"--library", library, "check", dataFolder().string()}; },
         1,
         {"is a folder, not a profile file: name the file itself"},
         {}},
        {"a profile that sets nothing",
         [&] { return std::vector<std::string>{"--library", library, "check", (dataFolder() / "empty.profile").string()}; },
         0,
         {"empty\\.profile: warning: the profile sets nothing, so the engine would hold the rig still",
          "empty\\.profile: valid \\(0 filter strings, 1 warnings\\)"},
         {}},
        {"a fan without a port",
         [&] { return std::vector<std::string>{"--library", library, "run", fanProfile, "--seconds", "1"}; },
         1,
         {"fan\\.profile:[0-9]+: error: \\[fan\\] has no port: add 'port = COMn'"},
         {"connecting"}},
    };
    for (const auto& c : cases) {
        const auto arguments = c.arguments();
        const auto run = runOnTerminal(arguments);
        EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.screen;
        for (const char* expression : c.screen) {
            EXPECT_TRUE(std::regex_search(run.screen, std::regex(expression))) << c.what << ": no " << expression << "\n"
                                                                               << run.screen;
        }
        for (const char* expression : c.absent) {
            EXPECT_FALSE(std::regex_search(run.screen, std::regex(expression))) << c.what << ": " << expression << "\n"
                                                                                << run.screen;
        }
    }
    // The link the console made for the device file is gone again.
    for (unsigned number = 100; number < 190; ++number) {
        EXPECT_FALSE(std::filesystem::is_symlink(linkFolder() / ("com" + std::to_string(number)))) << number;
    }
}
