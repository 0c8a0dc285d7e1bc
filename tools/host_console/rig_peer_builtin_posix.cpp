// The built-in rig controller emulator: a board of tools/rig_emulator on a pseudo-terminal.

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host_console/rig_peer.h"
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

}  // namespace

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
