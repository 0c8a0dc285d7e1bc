// The rig link over UDP on one machine: the address and port setters, the adapter choice, the
// listening thread's handling of datagrams, what the multicast sender sends, the transport
// choice it shares with the serial bridge, and a round trip through the exports on loopback.
// None of these sends multicast; udp_network_tests does, in network namespaces of its own.

#include <thread>

#include "net/adapter_choice.h"
#include "net/ipv4_text.h"
#include "net/multicast_sender.h"
#include "net/rig_datagram_receiver.h"
#include "net/support/udp_link_fixture.h"
#include "net/udp_link_state.h"
#include "serial/bridge_state.h"
#include "support/loopback.h"
#include "tarvelin/motion.h"

namespace tarvelin::test {
namespace {

using namespace std::chrono_literals;
using platform::NetworkAdapter;
using Clock = RigDatagramReceiver::Clock;

class UdpLinkTest : public UdpLinkFixture {};

TEST_F(UdpLinkTest, MulticastAddressIsValidatedAsADottedQuadOfDecimalParts) {
    const std::string manyDigits = "239.1.2." + std::string(40, '9');
    struct Case {
        const char* text;
        const char* used;
        std::uint32_t destination;
    };
    const Case cases[] = {
        {"239.1.2.3", "239.1.2.3", 0xEF010203},
        {"10.0.0.1", "10.0.0.1", 0x0A000001},  // not a group, but the form is right
        // Leading zeros are decimal: the C library's reading would make 011 octal, 9.
        {"232.011.12.14", "232.011.12.14", 0xE80B0C0E},
        {"239.1.2", "232.11.12.14", 0xE80B0C0E},
        {"239.1.2.3.4", "232.11.12.14", 0xE80B0C0E},
        {"239.1..3", "232.11.12.14", 0xE80B0C0E},
        {"239.1.2.256", "232.11.12.14", 0xE80B0C0E},
        {"239.a.2.3", "232.11.12.14", 0xE80B0C0E},
        {"[239].1.2.3", "232.11.12.14", 0xE80B0C0E},
        {manyDigits.c_str(), "232.11.12.14", 0xE80B0C0E},
        {"", "232.11.12.14", 0xE80B0C0E},
        {nullptr, "232.11.12.14", 0xE80B0C0E},
    };
    for (const auto& c : cases) {
        const std::string text = c.text == nullptr ? "(null)" : c.text;
        setMulticastAddr("239.9.9.9");
        setMulticastAddr(c.text);
        EXPECT_EQ(udpLinkState().multicastAddress(), c.used) << text;
        EXPECT_EQ(parseIPv4(c.used), c.destination) << text;
        const bool valid = std::string(c.used) != "232.11.12.14";
        const std::string line = valid ? "UDP Controller Thread: Validated multicast IP address. using Multicast address: "
                                       : "UDP Controller Thread: Failed to validate multicast IP address. Using default "
                                         "Multicast address: ";
        EXPECT_TRUE(loggedInfo(line + c.used + " and Port: 51324")) << text;
    }
    EXPECT_EQ(formatIPv4(0xC0000201), "192.0.2.1");
}

NetworkAdapter adapter(const wchar_t* name, std::uint32_t status, std::uint32_t type, std::uint32_t metric,
                       std::vector<std::uint32_t> addresses) {
    return NetworkAdapter{name, status, type, metric, std::move(addresses)};
}

TEST_F(UdpLinkTest, AdapterChoiceTakesTheFirstUpEthernetAdapterOfLowestMetric) {
    constexpr auto up = platform::adapterStatusUp;
    constexpr auto down = platform::adapterStatusDown;
    constexpr auto ethernet = platform::adapterTypeEthernet;
    struct Case {
        const char* what;
        std::vector<NetworkAdapter> adapters;
        std::string chosen;
    };
    const Case cases[] = {
        {"lower metric wins", {adapter(L"a", up, ethernet, 20, {0x0A000001}), adapter(L"b", up, ethernet, 10, {0x0A000002})}, "10.0.0.2"},
        {"equal metrics: first listed", {adapter(L"a", up, ethernet, 10, {0x0A000001}), adapter(L"b", up, ethernet, 10, {0x0A000002})}, "10.0.0.1"},
        {"wireless skipped", {adapter(L"w", up, platform::adapterTypeWireless, 5, {0x0A000003}), adapter(L"e", up, ethernet, 50, {0x0A000004})}, "10.0.0.4"},
        {"down skipped", {adapter(L"d", down, ethernet, 1, {0x0A000005}), adapter(L"u", up, ethernet, 9, {0x0A000006})}, "10.0.0.6"},
        {"first IPv4 address", {adapter(L"m", up, ethernet, 3, {0xC0000201, 0xC0000202})}, "192.0.2.1"},
        {"loopback only", {adapter(L"lo", up, platform::adapterTypeLoopback, 0, {0x7F000001})}, ""},
        {"chosen one without IPv4", {adapter(L"n", up, ethernet, 1, {}), adapter(L"v", up, ethernet, 2, {0x0A000007})}, ""},
        {"none at all", {}, ""},
    };
    for (const auto& c : cases) {
        ErrorLog log;
        EXPECT_EQ(chooseEthernetAdapter(c.adapters, log), c.chosen) << c.what;
    }

    ErrorLog log;
    chooseEthernetAdapter({adapter(L"Ethernet 2", up, ethernet, 25, {0xC0000201}), adapter(L"Wi-Fi", up, 71, 5, {})}, log);
    EXPECT_TRUE(loggedInfo("Examining adapter: Ethernet 2"));
    EXPECT_TRUE(loggedInfo("Adapter is active and of type Ethernet."));
    EXPECT_TRUE(loggedInfo("Adapter has lower metric (25). Selecting this adapter."));
    EXPECT_TRUE(loggedInfo("Adapter is either inactive or not of type Ethernet. Skipping."));
    EXPECT_TRUE(loggedInfo("Selected adapter IP: 192.0.2.1"));
    EXPECT_TRUE(loggedError("No suitable adapter found."));
}

constexpr std::uint32_t board = 0xC0000202;
constexpr std::uint32_t stranger = 0xC0000263;

Bytes joined(std::initializer_list<Bytes> frames) {
    Bytes datagram;
    for (const auto& frame : frames) datagram.insert(datagram.end(), frame.begin(), frame.end());
    return datagram;
}

TEST_F(UdpLinkTest, ADatagramCarriesWholeFramesFromOneControllerAtATime) {
    serial::BridgeState state;
    const auto start = Clock::now();
    RigDatagramReceiver receiver(state, start);
    const Bytes reply = rig_emulator::shortFrame(0x01, 0x01, 0x00, false);
    const Bytes version = rig_emulator::versionReply(328);

    // Less than a frame, and a frame split across two datagrams: nothing.
    EXPECT_FALSE(receiver.take(Bytes{0xF9, 0xF9, 0x01}, board, start));
    EXPECT_FALSE(receiver.take(Bytes(reply.begin(), reply.begin() + 5), board, start));
    EXPECT_FALSE(receiver.take(Bytes(reply.begin() + 5, reply.end()), board, start));
    EXPECT_FALSE(state.udpPeerActive.load());
    EXPECT_TRUE(state.udpReceiveQueue.empty());

    // Two frames in one datagram: both, and the sender becomes the peer.
    ASSERT_TRUE(receiver.take(joined({reply, version}), board, start + 1s));
    EXPECT_TRUE(state.udpPeerActive.load());
    EXPECT_EQ(state.udpReceiveQueue.size(), 2u);
    EXPECT_EQ(state.versionAtLeast328.load(), 1);

    // A message in fragments, with another sender's datagrams in between: the stranger's frames
    // are dropped unread and the peer's message arrives whole.
    Bytes payload(1194);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 13);
    const auto fragments = rig_emulator::fragmentFrames(payload, 7);
    ASSERT_EQ(fragments.size(), 3u);
    EXPECT_TRUE(receiver.take(fragments[0], board, start + 2s));
    EXPECT_FALSE(receiver.take(rig_emulator::fragmentFrames(payload, 8)[1], stranger, start + 2s));
    EXPECT_FALSE(receiver.take(reply, stranger, start + 2s));
    EXPECT_TRUE(receiver.take(fragments[2], board, start + 2s));
    EXPECT_TRUE(receiver.take(fragments[1], board, start + 3s));
    EXPECT_EQ(state.udpReceiveQueue.size(), 3u);
    serial::Message message;
    state.udpReceiveQueue.takeFront(message);
    state.udpReceiveQueue.takeFront(message);
    state.udpReceiveQueue.takeFront(message);
    EXPECT_EQ(message.size(), 1200u);

    // Eight seconds after the peer's last good frame its turn ends, and the messages waiting
    // for it are gone; the stranger did not keep it alive.
    state.serialSendQueue.push(motionFrame(1));
    state.udpSendQueue.push(motionFrame(2));
    EXPECT_FALSE(receiver.take(reply, stranger, start + 10s));
    EXPECT_FALSE(receiver.checkSilence(start + 3s + 7999ms));
    EXPECT_TRUE(state.udpPeerActive.load());
    EXPECT_TRUE(receiver.checkSilence(start + 11s));
    EXPECT_FALSE(state.udpPeerActive.load());
    EXPECT_TRUE(state.serialSendQueue.empty());
    EXPECT_TRUE(state.udpSendQueue.empty());
    EXPECT_FALSE(receiver.checkSilence(start + 30s)) << "ends once";

    // Another controller may now take over.
    EXPECT_TRUE(receiver.take(reply, stranger, start + 31s));
    EXPECT_TRUE(state.udpPeerActive.load());
    receiver.close();
    EXPECT_FALSE(state.udpPeerActive.load()) << "a closed listener hears no peer";
}

// A multicast sender aimed at a loopback sink instead of a group.
struct LoopbackSender {
    LoopbackSender() {
        platform::socketStartup();
        context.socket = platform::openUdpSocket();
        context.destination = platform::SocketAddress{platform::loopbackIpv4, sink.port()};
    }
    ~LoopbackSender() {
        platform::closeSocket(context.socket);
        platform::socketCleanup();
    }
    DatagramSink sink;
    MulticastContext context;
    std::int32_t repeatCount = 0;
    MulticastPass pass{context, repeatCount};
};

TEST_F(UdpLinkTest, SenderSendsEachMessageAsOneDatagramAndTheAutoMessageWithItsCheckFieldFromVersion328) {
    serial::BridgeState state;
    LoopbackSender sender;
    const Bytes motion = motionFrame(3);
    const Bytes large = largeMessage(1194);  // 1200 bytes
    const Bytes automatic = rig_emulator::shortFrame(0x07, 0x01, 0x00, true);

    state.udpSendQueue.push(motion);
    state.udpSendQueue.push(Bytes{0xFC, 0xFC});  // too short to send
    state.udpSendQueue.push(large);
    state.autoSendQueue.push(automatic);
    sender.pass.sendWaiting(state);
    auto datagrams = sender.sink.receiveAll();
    ASSERT_EQ(datagrams.size(), 5u);
    EXPECT_EQ(datagrams[0], motion) << "sent as the host left it, placeholder and all";
    for (std::size_t index = 0; index < 3; ++index) {
        const Bytes& fragment = datagrams[1 + index];
        EXPECT_EQ(fragment.size(), index < 2 ? 514u : 208u);
        EXPECT_EQ(fragment[8], index);
        EXPECT_EQ(fragment[10], 3);
        EXPECT_EQ(fragment[6], datagrams[1][6]) << "one message id";
        EXPECT_TRUE(endsInCrc(fragment));
    }
    EXPECT_EQ(datagrams[4], automatic) << "before version 328 the auto message keeps its 0A 0D";
    EXPECT_TRUE(state.udpSendQueue.empty());

    state.versionAtLeast328.store(1);
    sender.pass.sendWaiting(state);
    datagrams = sender.sink.receiveAll();
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_TRUE(endsInCrc(datagrams[0]));
    EXPECT_EQ(Bytes(datagrams[0].begin(), datagrams[0].end() - 2), Bytes(automatic.begin(), automatic.end() - 2));
}

TEST_F(UdpLinkTest, TransportChoiceRoutesMessagesAndFramesToTheSideThatAnswered) {
    auto& state = serial::bridgeState();
    state.udpRunning.store(true);  // as while a UDP thread runs
    struct Case {
        bool serialPeer;
        bool udpPeer;
        std::size_t serialQueued;
        std::size_t udpQueued;
        const char* reads;  // the receive queue readMessagemmf takes from
    };
    const Case cases[] = {
        {false, false, 1, 1, "none"},
        {true, false, 1, 0, "serial"},
        {false, true, 0, 1, "udp"},
        {true, true, 1, 0, "serial"},
    };
    const Bytes serialFrame = rig_emulator::shortFrame(0x05, 0x01, 0x00, true);
    const Bytes udpFrame = rig_emulator::shortFrame(0x05, 0x02, 0x00, true);
    for (const auto& c : cases) {
        const std::string what = std::string("serial ") + (c.serialPeer ? "on" : "off") + ", udp " + (c.udpPeer ? "on" : "off");
        for (auto* queue : {&state.serialSendQueue, &state.udpSendQueue, &state.serialReceiveQueue, &state.udpReceiveQueue}) {
            queue->clear();
        }
        state.serialPeerActive.store(c.serialPeer);
        state.udpPeerActive.store(c.udpPeer);
        const Bytes motion = motionFrame(4);
        EXPECT_EQ(sendMessagemmf(motion.data(), static_cast<int>(motion.size())), 1) << what;
        EXPECT_EQ(state.serialSendQueue.size(), c.serialQueued) << what;
        EXPECT_EQ(state.udpSendQueue.size(), c.udpQueued) << what;

        state.serialReceiveQueue.push(serialFrame);
        state.udpReceiveQueue.push(udpFrame);
        Bytes buffer(4096);
        const std::string reads = c.reads;
        EXPECT_EQ(newMessagemmf(), reads == "none" ? 0 : 1) << what;
        const int length = readMessagemmf(buffer.data());
        buffer.resize(static_cast<std::size_t>(length));
        EXPECT_EQ(buffer, reads == "serial" ? serialFrame : reads == "udp" ? udpFrame : Bytes{}) << what;
    }
    state.udpRunning.store(false);
}

TEST_F(UdpLinkTest, ListenerRoundTripThroughTheExportsOnLoopback) {
    auto& state = serial::bridgeState();
    const std::uint16_t port = freeUdpPort();
    setUDPport(port);
    EXPECT_TRUE(loggedInfo("UDP Controller Thread : Set UdpPort : " + std::to_string(port)));

    const std::string opened = "Udp listen thread: port opened starting main routine";
    const int openedBefore = timesLogged("[INFO] [", opened);
    // A stop right after the start ends the thread that start made.
    startUPDListenThread();
    stopMMFtoSerial_Thread();
    EXPECT_EQ(state.udpThreads.load(), 0);

    startUPDListenThread();
    EXPECT_EQ(isConnected(), 1);
    startUPDListenThread();
    EXPECT_TRUE(loggedInfo("Udp listen thread: already running"));
    // The thread of the first start logged its lines too.
    ASSERT_TRUE(waitFor([&] { return timesLogged("[INFO] [", opened) == openedBefore + 2; }));
    EXPECT_TRUE(loggedInfo("Port " + std::to_string(port) + " opened successfully."));

    // While the serial line carries the link, datagrams wait unread.
    UdpPeer controller;
    const Bytes reply = rig_emulator::shortFrame(0x01, 0x01, 0x00, false);
    state.serialPeerActive.store(true);
    std::this_thread::sleep_for(50ms);  // a pass that began before stands aside from the next
    ASSERT_GT(controller.sendTo(port, joined({reply, reply, Bytes{0xF8, 0xF8, 0x01}})), 0);
    std::this_thread::sleep_for(250ms);
    EXPECT_TRUE(state.udpReceiveQueue.empty());
    EXPECT_FALSE(state.udpPeerActive.load());
    state.serialPeerActive.store(false);

    ASSERT_TRUE(waitFor([] { return newMessagemmf() == 1; }));
    Bytes buffer(4096);
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_EQ(readMessagemmf(buffer.data()), 8);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 8), rig_emulator::shortFrame(0x01, 0x01, 0x00, true));
    }
    EXPECT_EQ(readMessagemmf(buffer.data()), 0) << "the partial frame went with its datagram";

    const Bytes motion = motionFrame(5);
    ASSERT_EQ(sendMessagemmf(motion.data(), static_cast<int>(motion.size())), 1);
    EXPECT_EQ(state.udpSendQueue.size(), 1u);
    EXPECT_TRUE(state.serialSendQueue.empty()) << "the controller answers over UDP";

    stopMMFtoSerial_Thread();
    EXPECT_EQ(state.udpThreads.load(), 0);
    EXPECT_FALSE(state.udpPeerActive.load()) << "the serial line may take over again";
    EXPECT_EQ(isConnected(), 0);
    EXPECT_EQ(sendMessagemmf(motion.data(), static_cast<int>(motion.size())), -1);
    for (const char* line : {"Udp listen thread: starting", "Udp listen thread: closing", "UDP:Port closed."}) {
        EXPECT_TRUE(loggedInfo(line)) << line;
    }
}

}  // namespace
}  // namespace tarvelin::test
