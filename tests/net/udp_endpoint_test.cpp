#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "net/udp_endpoint.h"
#include "platform/app_data.h"
#include "support/loopback.h"

using tarvelin::UdpEndpoint;
using tarvelin::test::UdpPeer;

namespace {

std::string logText() {
    std::ifstream file(tarvelin::platform::roamingAppDataFolder() / "tarvelin" / "errorlog.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::uint8_t> pattern(std::size_t length, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 31);
    return bytes;
}

// Polls until a datagram arrives (loopback delivery is quick but not synchronous).
std::vector<std::uint8_t> receiveSoon(UdpEndpoint& endpoint) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        auto datagram = endpoint.receive();
        if (!datagram.empty()) return datagram;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {};
}

}  // namespace

TEST(UdpEndpoint, OpensLogsAndReceivesDatagramsOneByOne) {
    UdpEndpoint endpoint;
    const auto port = tarvelin::test::freeUdpPort();
    ASSERT_EQ(endpoint.open(port), 1);
    const std::string log = logText();
    EXPECT_NE(log.find("[INFO] ["), std::string::npos);
    EXPECT_NE(log.find("] UDP: class init"), std::string::npos);
    EXPECT_NE(log.find("] Opening port: " + std::to_string(port)), std::string::npos);
    EXPECT_NE(log.find("] Port " + std::to_string(port) + " opened successfully."), std::string::npos);

    EXPECT_TRUE(endpoint.receive().empty()) << "nothing was sent yet";

    UdpPeer peer;
    ASSERT_EQ(peer.sendTo(port, pattern(10, 1)), 10);
    ASSERT_EQ(peer.sendTo(port, pattern(20, 2)), 20);
    EXPECT_EQ(receiveSoon(endpoint), pattern(10, 1));
    EXPECT_EQ(receiveSoon(endpoint), pattern(20, 2));
    EXPECT_EQ(endpoint.address.ipv4, tarvelin::platform::loopbackIpv4);
    EXPECT_EQ(endpoint.address.port, peer.port());

    EXPECT_EQ(endpoint.close(), 0);
    EXPECT_NE(logText().find("] UDP:Port closed."), std::string::npos);
}

TEST(UdpEndpoint, AFullSizeDatagramArrivesWholeAndALargerOneNotAtAll) {
    UdpEndpoint endpoint;
    const auto port = tarvelin::test::freeUdpPort();
    ASSERT_EQ(endpoint.open(port), 1);
    UdpPeer peer;
    ASSERT_EQ(peer.sendTo(port, pattern(8192, 3)), 8192);
    EXPECT_EQ(receiveSoon(endpoint), pattern(8192, 3));

    ASSERT_EQ(peer.sendTo(port, pattern(8193, 4)), 8193);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(endpoint.receive().empty());
    // The oversized datagram is gone; the next one is read normally.
    ASSERT_EQ(peer.sendTo(port, pattern(5, 5)), 5);
    EXPECT_EQ(receiveSoon(endpoint), pattern(5, 5));
    endpoint.close();
}

TEST(UdpEndpoint, APortHeldByAnotherSocketFailsWithTheAddressInUseCode) {
    UdpPeer holder;
    UdpEndpoint endpoint;
    EXPECT_EQ(endpoint.open(holder.port()), 0);
    EXPECT_NE(logText().find("[ERROR] ["), std::string::npos);
    EXPECT_NE(logText().find("] Binding socket failed with error: " +
                             std::to_string(tarvelin::platform::socketErrorAddressInUse)),
              std::string::npos);
    // A failed endpoint polls empty and never blocks; closing it harms nothing.
    EXPECT_TRUE(endpoint.receive().empty());
    EXPECT_LT(endpoint.receiveIntoBuffer(), 1);
    EXPECT_EQ(endpoint.close(), 0);
    EXPECT_EQ(holder.sendTo(holder.port(), pattern(3, 9)), 3) << "the holder's socket must still work";
}

TEST(UdpProbe, SeesADatagramThatArrivesWithinTwentyMilliseconds) {
    UdpEndpoint endpoint;
    const auto port = tarvelin::test::freeUdpPort();
    std::atomic<bool> sending{true};
    std::thread game([&] {
        UdpPeer peer;
        while (sending) {
            peer.sendTo(port, pattern(100, 1));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    int result = 0;
    for (int attempt = 0; attempt < 50 && result == 0; ++attempt) result = endpoint.probeUdpPort(port);
    sending = false;
    game.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(endpoint.probeResult, 1);
    // The probe leaves the port free for the real connection.
    EXPECT_EQ(endpoint.open(port), 1);
    endpoint.close();
}

TEST(UdpProbe, FailsOnASilentPortAndOnAPortHeldElsewhere) {
    UdpEndpoint endpoint;
    EXPECT_EQ(endpoint.probeUdpPort(tarvelin::test::freeUdpPort()), 0);
    EXPECT_EQ(endpoint.probeResult, 0);
    UdpPeer holder;
    testing::internal::CaptureStdout();
    EXPECT_EQ(endpoint.probeUdpPort(holder.port()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "bind socket failed with error: " + std::to_string(tarvelin::platform::socketErrorAddressInUse) + "\n");
}
