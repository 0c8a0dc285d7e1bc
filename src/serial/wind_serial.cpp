// The fan controller: one speed byte per interval from a thread of its own, on a port that it
// opens and configures itself.

#include <cctype>
#include <chrono>

#include "platform/serial_port.h"
#include "tarvelin/motion.h"

namespace {

using tarvelin::platform::SerialHandle;

// The pause after each byte. Below 1 ms the thread would spin a core; a fan that hears from the
// engine less than once a second no longer follows the ride.
constexpr std::uint32_t shortestIntervalMs = 1;
constexpr std::uint32_t longestIntervalMs = 1000;

bool writeOneByte(SerialHandle handle, std::uint8_t byte) {
    std::uint32_t written = 0;
    return tarvelin::platform::writeSerial(handle, &byte, 1, written);
}

}  // namespace

WindSerial::WindSerial()
    : portHandle(tarvelin::platform::invalidSerialHandle()),
      running(false),
      paused(false),
      initialized(false),
      sendIntervalMs(15),
      baudRate(0),
      failedStarts(0) {}

WindSerial::~WindSerial() {
    stop();
}

bool WindSerial::init(const std::string& port, std::int32_t baud, const std::string& mode, std::uint32_t intervalMs) {
    if (intervalMs < shortestIntervalMs || intervalMs > longestIntervalMs) return false;
    sendIntervalMs.store(intervalMs);
    // An empty name is no port; Windows' device query would answer for every device at once.
    if (port.empty() || !tarvelin::platform::dosDeviceExists(port)) {
        initialized.store(false);
        return false;
    }
    {
        std::lock_guard lock(settingsMutex);
        portName = port;
        baudRate = baud;
        lineMode = mode;
    }
    initialized.store(true);
    failedStarts.store(0);
    return true;
}

void WindSerial::start() {
    if (!initialized.load() || running.load() || failedStarts.load() >= 3) return;
    std::string port;
    std::int32_t baud = 0;
    std::string mode;
    {
        std::lock_guard lock(settingsMutex);
        port = portName;
        baud = baudRate;
        mode = lineMode;
    }
    portHandle = tarvelin::platform::openSerialDevice("\\\\.\\" + port);
    const bool open = portHandle != tarvelin::platform::invalidSerialHandle();
    if (open && configurePort(baud, mode) && writeOneByte(portHandle, 0x00)) {
        paused.store(false);
        running.store(true);
        sendingThread = std::thread(&WindSerial::sendingThreadFunc, this);
        return;
    }
    if (open) {
        tarvelin::platform::closeSerialDevice(portHandle);
        portHandle = tarvelin::platform::invalidSerialHandle();
    }
    running.store(false);
    failedStarts.fetch_add(1);
}

bool WindSerial::configurePort(std::int32_t baud, const std::string& mode) {
    if (mode.size() != 3) return false;
    tarvelin::platform::LineSettings line;
    line.baudRate = static_cast<std::uint32_t>(baud);
    line.byteSize = static_cast<std::uint8_t>(mode[0] - '0');
    switch (std::toupper(static_cast<unsigned char>(mode[1]))) {
        case 'E': line.parity = tarvelin::platform::Parity::even; break;
        case 'N': line.parity = tarvelin::platform::Parity::none; break;
        case 'O': line.parity = tarvelin::platform::Parity::odd; break;
        default: return false;
    }
    switch (mode[2]) {
        case '1': line.stopBits = tarvelin::platform::StopBits::one; break;
        case '2': line.stopBits = tarvelin::platform::StopBits::two; break;
        default: return false;
    }
    if (!tarvelin::platform::configureLine(portHandle, line)) return false;

    tarvelin::platform::CommTimeouts timeouts;
    timeouts.readInterval = 50;
    timeouts.readTotalMultiplier = 10;
    timeouts.readTotalConstant = 50;
    timeouts.writeTotalMultiplier = 10;
    timeouts.writeTotalConstant = 50;
    tarvelin::platform::setCommTimeouts(portHandle, timeouts);
    return true;
}

void WindSerial::sendingThreadFunc() {
    while (running.load()) {
        bool haveByte = false;
        std::uint8_t byte = 0;
        {
            std::lock_guard lock(bufferMutex);
            if (!sendBuffer.empty()) {
                byte = sendBuffer.front();
                sendBuffer.erase(sendBuffer.begin());
                haveByte = true;
            }
        }
        if (haveByte && !paused.load()) writeOneByte(portHandle, byte);
        // The pause ends early when stop asks the thread to end, so that stop (and with it the
        // engine's stop and process exit) never waits out a whole interval.
        const auto interval = std::chrono::milliseconds(sendIntervalMs.load());
        std::unique_lock lock(bufferMutex);
        stopRequested.wait_for(lock, interval, [this] { return !running.load(); });
    }
}

void WindSerial::updateBuffer(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(bufferMutex);
    if (&bytes != &sendBuffer) sendBuffer.assign(bytes.begin(), bytes.end());
}

void WindSerial::pause() {
    if (portHandle != tarvelin::platform::invalidSerialHandle()) writeOneByte(portHandle, 0x00);
    paused.store(true);
}

void WindSerial::unpause() {
    paused.store(false);
}

void WindSerial::stop() {
    {
        // Cleared under the lock the sending thread waits with, so that the wake-up cannot fall
        // between its test of the flag and its wait.
        std::lock_guard lock(bufferMutex);
        running.store(false);
    }
    stopRequested.notify_all();
    failedStarts.store(0);
    if (sendingThread.joinable()) sendingThread.join();
    if (portHandle != tarvelin::platform::invalidSerialHandle()) {
        // Written once the sending thread has ended, so that the zero is the last byte the fan
        // hears: written before, it could be followed by a speed byte the thread had just taken,
        // and the fan would be left running.
        writeOneByte(portHandle, 0x00);
        tarvelin::platform::closeSerialDevice(portHandle);
        portHandle = tarvelin::platform::invalidSerialHandle();
    }
}

bool WindSerial::isRunning() const {
    return running.load();
}

bool WindSerial::isInit() const {
    return initialized.load();
}
