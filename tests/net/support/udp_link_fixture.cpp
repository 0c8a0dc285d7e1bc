#include "net/support/udp_link_fixture.h"

#include <fstream>
#include <iterator>
#include <thread>

#include "platform/app_data.h"
#include "serial/bridge_state.h"
#include "tarvelin/motion.h"

namespace tarvelin::test {

namespace {

void resetLink() {
    stopMMFtoSerial_Thread();
    auto& state = serial::bridgeState();
    state.serialPeerActive.store(false);
    state.udpPeerActive.store(false);
    state.interfaceEnabled.store(true);
    state.versionAtLeast328.store(0);
    for (auto* queue : {&state.serialSendQueue, &state.autoSendQueue, &state.udpSendQueue, &state.serialReceiveQueue,
                        &state.udpReceiveQueue}) {
        queue->clear();
    }
}

}  // namespace

void UdpLinkFixture::SetUp() {
    resetLink();
}

void UdpLinkFixture::TearDown() {
    resetLink();
    EXPECT_EQ(serial::bridgeState().udpThreads.load(), 0) << "a link thread outlived stopMMFtoSerial_Thread";
}

bool UdpLinkFixture::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string UdpLinkFixture::logText() {
    std::ifstream file(platform::roamingAppDataFolder() / "tarvelin" / "errorlog.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

int UdpLinkFixture::timesLogged(const std::string& prefix, const std::string& line) {
    const std::string text = logText();
    int times = 0;
    for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
        const std::size_t end = text.find('\n', at);
        const std::string whole = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        const std::size_t message = whole.find("] ", prefix.size());
        if (message == std::string::npos) continue;
        std::string rest = whole.substr(message + 2);
        if (!rest.empty() && rest.back() == '\r') rest.pop_back();
        if (rest == line) ++times;
    }
    return times;
}

Bytes motionFrame(std::uint8_t seed) {
    Bytes frame{0xFC, 0xFC};
    for (int i = 0; i < 32; ++i) frame.push_back(static_cast<std::uint8_t>(seed + i));
    frame.insert(frame.end(), {0x0A, 0x0D});
    return frame;
}

Bytes largeMessage(std::size_t payloadLength) {
    Bytes message{0xFA, 0xFA, static_cast<std::uint8_t>(payloadLength & 0xFF), static_cast<std::uint8_t>(payloadLength >> 8)};
    for (std::size_t i = 0; i < payloadLength; ++i) message.push_back(static_cast<std::uint8_t>(i * 7));
    message.insert(message.end(), {0x0A, 0x0D});
    return message;
}

bool endsInCrc(const Bytes& frame) {
    const std::uint16_t crc = rig_emulator::crc16({frame.data(), frame.size() - 2});
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

DatagramSink::DatagramSink() {
    platform::socketStartup();
    socket_ = platform::openUdpSocket();
    platform::bindSocket(socket_, platform::SocketAddress{platform::loopbackIpv4, 0});
    port_ = platform::localPort(socket_);
}

DatagramSink::~DatagramSink() {
    platform::closeSocket(socket_);
    platform::socketCleanup();
}

std::vector<Bytes> DatagramSink::receiveAll(std::chrono::milliseconds quiet) {
    std::vector<Bytes> datagrams;
    Bytes buffer(65536);
    auto wait = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::seconds(1));
    while (platform::waitReadable(socket_, wait) == 1) {
        const long length = platform::receiveFrom(socket_, buffer.data(), buffer.size(), nullptr);
        if (length < 0) break;
        datagrams.emplace_back(buffer.begin(), buffer.begin() + length);
        wait = quiet;
    }
    return datagrams;
}

}  // namespace tarvelin::test
