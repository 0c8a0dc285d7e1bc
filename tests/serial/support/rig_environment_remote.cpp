// The bench under Wine: the native emulator program, started with its boards by
// tests/serial/wine_rig_link.sh, which names its control port in TARVELIN_RIG_EMULATOR_PORT.

#include <gtest/gtest.h>

#include <cstdlib>

#include "serial/support/rig_environment.h"

namespace tarvelin::test {

namespace {

class RemoteRigEnvironment : public RigEnvironment {
public:
    RigEmulatorClient& emulator() override { return client_; }
    std::string attach(unsigned number) override {
        const std::string name = boardName(number);
        client_.attach(name);
        return name;
    }
    void detach(unsigned number) override { client_.detach(boardName(number)); }
    // Wine keeps the rate a program asks for only when the line's driver takes it; a pty
    // reports a standard rate instead.
    bool exactBaudRates() const override { return false; }

    bool setUp() {
        const char* port = std::getenv("TARVELIN_RIG_EMULATOR_PORT");
        return port != nullptr && client_.connect(static_cast<std::uint16_t>(std::atoi(port)));
    }

private:
    RigEmulatorClient client_;
};

}  // namespace

std::unique_ptr<RigEnvironment> makeRigEnvironment() {
    auto environment = std::make_unique<RemoteRigEnvironment>();
    if (!environment->setUp()) ADD_FAILURE() << "no rig emulator: run through tests/serial/wine_rig_link.sh";
    return environment;
}

RigEnvironment& RigEnvironment::instance() {
    static const std::unique_ptr<RigEnvironment> environment = makeRigEnvironment();
    return *environment;
}

}  // namespace tarvelin::test
