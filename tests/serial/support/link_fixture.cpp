#include "serial/support/link_fixture.h"

#include "serial/bridge_state.h"
#include "serial/console.h"
#include "serial/crc16.h"
#include "serial/rig_frames.h"
#include "tarvelin/motion.h"

namespace tarvelin::test {

namespace {
std::mutex consoleMutex;
std::string consoleText;

void record(std::string_view text) {
    std::lock_guard lock(consoleMutex);
    consoleText += text;
}
}  // namespace

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = serial::crc16Arc(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

void LinkFixture::SetUp() {
    for (const auto& port : testPorts) bench().detach(port.number);
    auto& state = serial::bridgeState();
    disableAutoconnect();
    setUsbChipCheck(1);
    setStandartPort("COM5");
    state.versionAtLeast328.store(0);
    for (auto* queue : {&state.serialSendQueue, &state.autoSendQueue, &state.udpSendQueue, &state.serialReceiveQueue,
                        &state.udpReceiveQueue}) {
        queue->clear();
    }
    {
        std::lock_guard lock(consoleMutex);
        consoleText.clear();
    }
    serial::setConsoleObserver(&record);
}

void LinkFixture::TearDown() {
    stopBridge();
    serial::setConsoleObserver(nullptr);
}

void LinkFixture::startBridge() {
    loop_ = std::thread([] { startMMFtoSerial_Thread(); });
    ASSERT_TRUE(waitFor([] { return serial::bridgeState().bridgeRunning.load(); }));
}

void LinkFixture::stopBridge() {
    stopMMFtoSerial_Thread();
    if (loop_.joinable()) loop_.join();
}

bool LinkFixture::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string LinkFixture::console() {
    std::lock_guard lock(consoleMutex);
    return consoleText;
}

void LinkFixture::connectOnStandardPort(unsigned number) {
    const std::string board = bench().attach(number);
    boards().reply(board, Bytes(serial::identificationReplyId1.begin(), serial::identificationReplyId1.end()));
    setStandartPort(("COM" + std::to_string(number)).c_str());
    ASSERT_EQ(resumeInterface(), 1) << console();
    ASSERT_EQ(isConnected(), 1);
}

}  // namespace tarvelin::test
