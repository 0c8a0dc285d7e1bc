#pragma once
// Tests of the rig link over UDP: a clean link state before and after each test, the error log
// as text, and the frames a rig controller sends.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "wire.h"

namespace tarvelin::test {

using rig_emulator::Bytes;

class UdpLinkFixture : public ::testing::Test {
protected:
    // Stops every link thread and clears the flags and queues the link shares with the bridge.
    void SetUp() override;
    void TearDown() override;

    // Polls `condition` every 2 ms for at most `limit`; true once it holds.
    static bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10));

    // The error log's text, and how often it holds `line` after the time stamp, as an
    // information or an error line.
    static std::string logText();
    static int timesLogged(const std::string& prefix, const std::string& line);
    static bool loggedInfo(const std::string& line) { return timesLogged("[INFO] [", line) > 0; }
    static bool loggedError(const std::string& line) { return timesLogged("[ERROR] [", line) > 0; }
};

// A 36-byte motion frame ending in the 0A 0D placeholder.
Bytes motionFrame(std::uint8_t seed);
// An FA message of `payloadLength` bytes, ending in 0A 0D, as a host hands it over.
Bytes largeMessage(std::size_t payloadLength);
// Whether `frame` ends in the CRC of the rest.
bool endsInCrc(const Bytes& frame);

// A UDP socket on a free loopback port that reads what is sent to it.
class DatagramSink {
public:
    DatagramSink();
    ~DatagramSink();
    DatagramSink(const DatagramSink&) = delete;
    DatagramSink& operator=(const DatagramSink&) = delete;

    std::uint16_t port() const { return port_; }
    // The datagrams that arrive within `quiet` of each other (the first within 1 s).
    std::vector<Bytes> receiveAll(std::chrono::milliseconds quiet = std::chrono::milliseconds(50));

private:
    platform::SocketHandle socket_ = platform::invalidSocket;
    std::uint16_t port_ = 0;
};

}  // namespace tarvelin::test
