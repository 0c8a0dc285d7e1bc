// The rig link over the network, end to end: the multicast sender and the listening thread on
// the host's side of a veth pair, the emulated rig controller board on the other, each in a
// network namespace that tests/net/rig_network.sh makes for the run (so multicast never leaves
// through the machine's own interfaces).

#include <cstdlib>
#include <thread>

#include "net/support/udp_link_fixture.h"
#include "serial/bridge_state.h"
#include "serial/support/rig_emulator_client.h"
#include "tarvelin/motion.h"

namespace tarvelin::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* group = "232.11.12.14";
constexpr std::uint16_t groupPort = 51324;
constexpr std::uint16_t listenPort = 53241;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

std::uint32_t ipv4(const std::string& text) {
    std::uint32_t address = 0;
    unsigned part[4] = {};
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u", &part[0], &part[1], &part[2], &part[3]) == 4) {
        for (const unsigned value : part) address = (address << 8) | value;
    }
    return address;
}

class UdpNetworkTest : public UdpLinkFixture {};

std::size_t framesWithLead(RigEmulatorClient& boards, std::uint8_t lead) {
    std::size_t count = 0;
    for (const auto& frame : boards.frames("net")) count += frame[0] == lead ? 1 : 0;
    return count;
}

TEST_F(UdpNetworkTest, MulticastReachesTheBoardWhoseAnswersTakeOverTheLink) {
    const std::string host = environment("TARVELIN_HOST_ADDRESS");
    const std::string boardAddress = environment("TARVELIN_BOARD_ADDRESS");
    RigEmulatorClient boards;
    ASSERT_TRUE(boards.connect(static_cast<std::uint16_t>(std::atoi(environment("TARVELIN_RIG_EMULATOR_PORT").c_str())),
                               ipv4(environment("TARVELIN_RIG_EMULATOR_HOST"))))
        << "no rig emulator: run through tests/net/rig_network.sh";
    boards.network("net", boardAddress, group, groupPort, listenPort);
    auto& state = serial::bridgeState();

    setMulticastAddr(group);
    setUDPport(listenPort);
    startUPDListenThread();
    startUPDMulticastSenderThread();
    ASSERT_TRUE(waitFor([&] { return loggedInfo("Bound to IP: " + host); })) << logText();
    EXPECT_TRUE(loggedInfo("Selected adapter IP: " + host));
    EXPECT_TRUE(loggedInfo("Adapter is either inactive or not of type Ethernet. Skipping.")) << "the loopback";

    // While the serial line carries the link, the sender leaves the UDP queue alone.
    state.serialPeerActive.store(true);
    std::this_thread::sleep_for(150ms);  // a pass that began before stands aside from the next
    state.udpSendQueue.push(motionFrame(1));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(boards.counts("net").datagrams, 0u);
    EXPECT_EQ(state.udpSendQueue.size(), 1u);
    state.serialPeerActive.store(false);

    // Before the board has answered: the engine's frames go out as the host left them, and so
    // does the auto message.
    for (std::uint8_t seed = 2; seed < 20; ++seed) {
        const Bytes frame = motionFrame(seed);
        ASSERT_EQ(sendMessagemmf(frame.data(), static_cast<int>(frame.size())), 1);
        std::this_thread::sleep_for(2ms);
    }
    const Bytes automatic = rig_emulator::shortFrame(0x07, 0x01, 0x00, true);
    ASSERT_EQ(autoMessagemmf(automatic.data()), 1);
    ASSERT_TRUE(waitFor([&] { return framesWithLead(boards, 0xFC) == 19 && state.autoSendQueue.empty(); }));
    const auto counts = boards.counts("net");
    EXPECT_EQ(counts.badFrames, 0u);
    EXPECT_EQ(counts.uncheckedFrames, counts.goodFrames) << "no check field written into them";
    const auto frames = boards.frames("net");
    EXPECT_EQ(frames.front(), motionFrame(1));
    EXPECT_GE(std::count(frames.begin(), frames.end(), automatic), 11);

    // A 1200-byte message goes out as three fragment datagrams.
    std::this_thread::sleep_for(50ms);
    boards.clear("net");
    const Bytes large = largeMessage(1194);
    ASSERT_EQ(sendMessagemmf(large.data(), static_cast<int>(large.size())), 1);
    ASSERT_TRUE(waitFor([&] { return boards.messages("net").size() == 1; }));
    EXPECT_EQ(boards.messages("net").front(), large);
    EXPECT_EQ(framesWithLead(boards, 0xFA), 3u);
    EXPECT_EQ(boards.counts("net").datagrams, boards.counts("net").goodFrames) << "one frame a datagram";

    // The board speaks: its version reply makes UDP the live transport, and from version 328
    // on the auto message carries its check field.
    const Bytes version = rig_emulator::versionReply(328);
    boards.status("net", version, 100);
    ASSERT_TRUE(waitFor([&] { return newMessagemmf() == 1; }));
    EXPECT_TRUE(state.udpPeerActive.load());
    Bytes buffer(4096);
    ASSERT_EQ(readMessagemmf(buffer.data()), 8);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 6), Bytes(version.begin(), version.begin() + 6));
    EXPECT_EQ(state.versionAtLeast328.load(), 1);
    boards.clear("net");
    ASSERT_EQ(autoMessagemmf(automatic.data()), 1);
    ASSERT_TRUE(waitFor([&] { return boards.counts("net").goodFrames >= 11; }));
    EXPECT_TRUE(endsInCrc(boards.frames("net").front()));

    // The board falls silent: eight seconds later UDP no longer carries the link.
    boards.status("net", {}, 0);
    const auto silent = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor([&] { return !state.udpPeerActive.load(); }, 12s));
    EXPECT_GE(std::chrono::steady_clock::now() - silent, 7s);
    EXPECT_EQ(newMessagemmf(), 0);

    stopMMFtoSerial_Thread();
    EXPECT_EQ(state.udpThreads.load(), 0);
    EXPECT_TRUE(loggedInfo("Closing socket"));
    EXPECT_TRUE(loggedInfo("Udp listen thread: closing"));
}

// Run where the host's namespace has only its loopback interface.
TEST_F(UdpNetworkTest, WithoutAnEthernetAdapterTheSenderEndsAndTheListenerWithIt) {
    auto& state = serial::bridgeState();
    startUPDListenThread();
    startUPDMulticastSenderThread();
    ASSERT_TRUE(waitFor([&] { return state.udpThreads.load() == 0; })) << logText();
    EXPECT_TRUE(loggedInfo("Starting GetPreferredEthernetAdapter routine."));
    EXPECT_TRUE(loggedError("No suitable adapter found."));
    EXPECT_TRUE(loggedInfo("No suitable Ethernet adapter found. Exiting."));
    EXPECT_TRUE(loggedInfo("Udp listen thread: closing"));
    EXPECT_EQ(isConnected(), 0);
    EXPECT_TRUE(state.udpStopped.load());
}

}  // namespace
}  // namespace tarvelin::test
