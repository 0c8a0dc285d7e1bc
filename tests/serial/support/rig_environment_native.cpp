// The bench in-process: the emulator's boards on ptys of this machine.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "control_server.h"
#include "platform/app_data.h"
#include "platform/posix/com_ports.h"
#include "serial/support/rig_environment.h"

namespace tarvelin::test {

namespace {

class NativeRigEnvironment : public RigEnvironment {
public:
    NativeRigEnvironment()
        : data_(platform::roamingAppDataFolder()), server_(data_ / "rig-boards"), sysfs_(data_ / "fake-sysfs") {
    }

    RigEmulatorClient& emulator() override { return client_; }

    std::string attach(unsigned number) override {
        const std::string name = boardName(number);
        const std::filesystem::path slave = client_.attach(name);
        // The fake sysfs names the tty the way the kernel does ("pts!3") and gives it the
        // table's USB ids, or none. A terminal number comes back once its board is gone, so
        // what the tree said of an earlier board on it is dropped first.
        std::string tty = std::filesystem::canonical(slave).lexically_relative("/dev").generic_string();
        std::replace(tty.begin(), tty.end(), '/', '!');
        const auto device = sysfs_ / "class" / "tty" / tty / "device";
        std::filesystem::remove_all(device.parent_path());
        for (const auto& port : testPorts) {
            if (port.number != number || port.vendor == 0) continue;
            std::filesystem::create_directories(device);
            char text[8];
            std::snprintf(text, sizeof text, "%04x\n", port.vendor);
            std::ofstream(device / "idVendor") << text;
            std::snprintf(text, sizeof text, "%04x\n", port.product);
            std::ofstream(device / "idProduct") << text;
        }
        return name;
    }

    void detach(unsigned number) override { client_.detach(boardName(number)); }

    bool exactBaudRates() const override { return true; }

    bool setUp() {
        const std::uint16_t port = server_.listen(0);
        if (port == 0) return false;
        server_.start();
        const auto links = platform::posix::comLinkFolder();
        std::filesystem::create_directories(links);
        for (const auto& testPort : testPorts) {
            const auto link = links / ("com" + std::to_string(testPort.number));
            std::error_code ignored;
            std::filesystem::remove(link, ignored);
            std::filesystem::create_symlink(data_ / "rig-boards" / boardName(testPort.number), link);
        }
        std::filesystem::create_directories(sysfs_);
        platform::posix::setSysfsRootForTests(sysfs_);
        return client_.connect(port);
    }

private:
    std::filesystem::path data_;
    rig_emulator::ControlServer server_;
    std::filesystem::path sysfs_;
    RigEmulatorClient client_;
};

}  // namespace

std::unique_ptr<RigEnvironment> makeRigEnvironment() {
    auto environment = std::make_unique<NativeRigEnvironment>();
    if (!environment->setUp()) ADD_FAILURE() << "the rig emulator could not start";
    return environment;
}

RigEnvironment& RigEnvironment::instance() {
    static const std::unique_ptr<RigEnvironment> environment = makeRigEnvironment();
    return *environment;
}

}  // namespace tarvelin::test
