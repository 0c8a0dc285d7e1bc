// The built-in rig controller emulator: a board of tools/rig_emulator on a pseudo-terminal, or
// on the network.

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <arpa/inet.h>

#include "host_console/rig_peer.h"
#include "network_board.h"
#include "rig_device.h"
#include "wire.h"

namespace tarvelin::console {

namespace {

// Far beyond the numbers Wine gives real serial devices (up to COM96), so that it can only ever
// name the board.
constexpr const char* builtInPort = "COM199";
constexpr const char* builtInLink = "com199";

class BuiltInRig : public RigPeer {
public:
    BuiltInRig(std::filesystem::path folder, std::filesystem::path link)
        : folder_(std::move(folder)), board_(std::move(link)), port_(builtInPort) {}

    ~BuiltInRig() override {
        board_.detach();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    bool attach(std::string& error) {
        if (!board_.attach()) {
            error = std::string("cannot make a pseudo-terminal for the rig controller emulator: ") + std::strerror(errno);
            return false;
        }
        board_.setReply(rig_emulator::shortFrame(0x01, 0x01, 0x00, true), false);
        // The demo reads counts and recent frames only; a record of every frame would grow for
        // the first minutes of every demo.
        board_.keepRecords(false);
        return true;
    }

    const std::string& port() const override { return port_; }

    bool seesArrivals() const override { return true; }
    std::vector<ArrivedFrame> framesAfter(std::uint64_t number) override {
        std::vector<ArrivedFrame> frames;
        for (auto& frame : board_.framesAfter(static_cast<std::size_t>(number))) {
            frames.push_back({std::move(frame.bytes), frame.number, frame.arrival});
        }
        return frames;
    }

    std::optional<RigCounts> counts() override {
        const auto counts = board_.counts();
        return RigCounts{counts.goodFrames - counts.identificationRequests, counts.badFrames};
    }

private:
    std::filesystem::path folder_;
    rig_emulator::RigDevice board_;
    std::string port_;
};

// How often the network board tells the engine it is there: well within the 8 s after which the
// link gives up on a silent controller.
constexpr auto statusInterval = std::chrono::milliseconds(100);
constexpr std::uint16_t groupPort = 51324;

class BuiltInNetworkRig : public RigPeer {
public:
    explicit BuiltInNetworkRig(std::string group) : port_("UDP " + std::move(group)) {}

    bool open(const UdpLinkSettings& udp, std::string& error) {
        in_addr group{};
        if (::inet_pton(AF_INET, udp.group.c_str(), &group) != 1) {
            error = "not a multicast group: " + udp.group;
            return false;
        }
        rig_emulator::NetworkSetup setup;
        setup.group = ntohl(group.s_addr);
        setup.port = groupPort;
        setup.answerPort = static_cast<std::uint16_t>(udp.listenPort);
        if (!board_.open(setup, error)) {
            error = "the rig controller emulator " + error;
            return false;
        }
        board_.setStatus(rig_emulator::shortFrame(0x01, 0x01, 0x00, true), statusInterval);
        board_.keepFrames(false);
        return true;
    }

    const std::string& port() const override { return port_; }

    std::optional<RigCounts> counts() override {
        const auto counts = board_.counts();
        return RigCounts{counts.goodFrames, counts.badFrames};
    }

private:
    std::string port_;
    rig_emulator::NetworkBoard board_;
};

}  // namespace

std::unique_ptr<RigPeer> startBuiltInNetworkRig(const UdpLinkSettings& udp, std::string& error) {
    auto rig = std::make_unique<BuiltInNetworkRig>(udp.group);
    if (!rig->open(udp, error)) return nullptr;
    return rig;
}

std::unique_ptr<RigPeer> startBuiltInRig(std::string& error) {
    std::error_code failure;
    std::string pattern = (std::filesystem::temp_directory_path(failure) / "tarvelin-demo-XXXXXX").string();
    if (failure || ::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot create a private data folder for the demo in " + std::filesystem::temp_directory_path(failure).string();
        return nullptr;
    }
    const std::filesystem::path folder = std::filesystem::absolute(pattern);
    const auto links = folder / "tarvelin" / "dosdevices";
    std::filesystem::create_directories(links, failure);
    // The library finds COM links in its data folder; pointing it at the private folder keeps
    // the demo's port out of the user's own set-up.
    if (failure || ::setenv("XDG_DATA_HOME", folder.c_str(), 1) != 0) {
        error = "cannot prepare " + links.string();
        std::filesystem::remove_all(folder, failure);
        return nullptr;
    }
    auto rig = std::make_unique<BuiltInRig>(folder, links / builtInLink);
    if (!rig->attach(error)) return nullptr;
    return rig;
}

}  // namespace tarvelin::console
