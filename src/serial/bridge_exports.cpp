// The exports of the rig controller link.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstring>
#include <span>

#include "serial/bridge.h"
#include "serial/bridge_state.h"
#include "serial/console.h"
#include "serial/rig_port.h"
#include "tarvelin/motion.h"

using tarvelin::serial::bridgeState;
using tarvelin::serial::Message;

namespace {

constexpr std::size_t scanLimit = 4096;

// The length of `bytes` up to and including the first 0A 0D within the first `limit` bytes,
// or 0 when there is none.
std::size_t lengthThroughTrailer(const std::uint8_t* bytes, std::size_t limit) {
    for (std::size_t i = 0; i + 1 < limit; ++i) {
        if (bytes[i] == 0x0A && bytes[i + 1] == 0x0D) return i + 2;
    }
    return 0;
}

// atoi of `text`, held to the int range instead of overflowing.
int parseNumber(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text)) != 0) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long long value = 0;
    while (*text >= '0' && *text <= '9') {
        value = std::min<long long>(value * 10 + (*text - '0'), static_cast<long long>(INT_MAX) + 1);
        ++text;
    }
    if (negative) return static_cast<int>(-value);
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

// The receive queue of the transport that carries the link, or null while neither has answered.
tarvelin::serial::MessageQueue* liveReceiveQueue() {
    auto& state = bridgeState();
    switch (tarvelin::serial::liveTransport(state)) {
        case tarvelin::serial::Transport::serial: return &state.serialReceiveQueue;
        case tarvelin::serial::Transport::udp: return &state.udpReceiveQueue;
        case tarvelin::serial::Transport::neither: return nullptr;
    }
    return nullptr;
}

}  // namespace

extern "C" {

int startMMFtoSerial_Thread(void) {
    return tarvelin::serial::runBridge();
}

void stopMMFtoSerial_Thread(void) {
    tarvelin::serial::stopBridge();
}

int sendMessagemmf(const uint8_t* data, int length) {
    // A negative length or a null pointer would be read as a huge message.
    if (data == nullptr || length <= 0) return -1;
    return tarvelin::serial::sendMessage({data, static_cast<std::size_t>(length)});
}

int autoMessagemmf(const uint8_t* data) {
    auto& state = bridgeState();
    if (!state.bridgeRunning.load() && !state.udpRunning.load()) {
        tarvelin::serial::consolePrint("no valid data");
        return 0;
    }
    const std::size_t length = data == nullptr ? 0 : lengthThroughTrailer(data, scanLimit);
    if (length == 0) {
        tarvelin::serial::consolePrint("no valid data");
        return 0;
    }
    return state.autoSendQueue.pushIfBelow(tarvelin::serial::queueLimit, {data, length}) ? 1 : 0;
}

int readMessagemmf(uint8_t* buffer) {
    tarvelin::serial::MessageQueue* queue = liveReceiveQueue();
    if (queue == nullptr || buffer == nullptr) return 0;
    Message frame;
    if (!queue->takeFront(frame)) return 0;
    const std::size_t length = lengthThroughTrailer(frame.data(), std::min(frame.size(), scanLimit));
    std::copy_n(frame.begin(), length, buffer);
    return static_cast<int>(length);
}

int newMessagemmf(void) {
    const tarvelin::serial::MessageQueue* queue = liveReceiveQueue();
    return queue != nullptr && !queue->empty() ? 1 : 0;
}

int isConnected(void) {
    auto& state = bridgeState();
    if (!state.serialConnected.load() && !state.udpLinkUp.load()) return 0;
    return state.bridgeRunning.load() || state.udpRunning.load() ? 1 : 0;
}

int isInterfaceRunning(void) {
    return bridgeState().interfaceEnabled.load() ? 1 : 0;
}

int pauseInterface(void) {
    bridgeState().interfaceEnabled.store(false);
    tarvelin::serial::closeRigPort();
    return 1;
}

int resumeInterface(void) {
    auto& state = bridgeState();
    // A stop from now on ends the tries: the host is shutting the link down.
    const std::uint32_t since = state.stopRequests.load();
    state.interfaceEnabled.store(true);
    if (state.autoconnectEnabled.load()) return 1;
    for (int round = 0; round < 3; ++round) {
        tarvelin::serial::connectStandardPort(since);
        if (state.serialConnected.load()) return 1;
        if (!tarvelin::serial::pauseUnlessStopped(std::chrono::milliseconds(500), since)) return 0;
    }
    return 0;
}

int enableAutoconnect(void) {
    bridgeState().autoconnectEnabled.store(true);
    return 1;
}

int disableAutoconnect(void) {
    bridgeState().autoconnectEnabled.store(false);
    return 1;
}

int setStandartPort(const char* name) {
    const char* com = name == nullptr ? nullptr : std::strstr(name, "COM");
    if (com == nullptr) return 0;
    bridgeState().standardPort.store(parseNumber(com + 3));
    return 1;
}

int setUsbChipCheck(int on) {
    bridgeState().usbChipCheck.store(on != 0);
    return 1;
}

double getOutputTimeFrame(void) {
    return bridgeState().bridgeTimer.lastIntervalMs();
}

}  // extern "C"
