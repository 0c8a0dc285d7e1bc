#pragma once
// A test fixture that runs the real bridge loop against emulated boards and records the
// link's console lines.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/support/rig_environment.h"

namespace tarvelin::test {

// `frame` with its check field appended, as a board sends it: CRC-16/ARC, low byte first.
Bytes withCrc(Bytes frame);

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void startBridge();
    void stopBridge();

    // Polls `condition` every 5 ms for at most `limit`; true once it holds.
    static bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10));

    // The console lines printed since the test began, joined.
    static std::string console();
    static bool printed(const std::string& text) { return console().find(text) != std::string::npos; }

    // Identifies a board that answers id 1 on COM `number` as the standard port.
    void connectOnStandardPort(unsigned number);

    RigEnvironment& bench() { return RigEnvironment::instance(); }
    RigEmulatorClient& boards() { return bench().emulator(); }

private:
    std::thread loop_;
};

}  // namespace tarvelin::test
