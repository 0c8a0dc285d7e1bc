#include "serial/rig_port.h"

#include <chrono>
#include <string>
#include <thread>

#include "platform/system_error.h"
#include "serial/bridge_state.h"
#include "serial/console.h"
#include "serial/serial_exception.h"

namespace tarvelin::serial {

CSerialPort2::~CSerialPort2() {
    close();
}

void CSerialPort2::close() {
    if (isOpen()) {
        platform::closeSerialDevice(handle);
        handle = platform::invalidSerialHandle();
    }
}

CSerialPort::~CSerialPort() {
    close();
}

PortSession RigPort::open(int comNumber) {
    const std::wstring path = L"\\\\.\\COM" + std::to_wstring(comNumber);
    std::lock_guard lock(mutex_);
    port_.close();
    session_ = 0;
    port_.handle = platform::openSerialDevice(path);
    if (!port_.isOpen()) return 0;

    platform::LineSettings line;
    line.baudRate = 250000;
    line.byteSize = 8;
    line.parity = platform::Parity::none;
    line.stopBits = platform::StopBits::one;
    line.disableHandshake = true;
    if (!platform::configureLine(port_.handle, line)) {
        const std::uint32_t error = platform::lastSystemError();
        port_.close();
        platform::setLastSystemError(error);
        return 0;
    }
    session_ = ++lastSession_;
    return session_;
}

void RigPort::close() {
    std::lock_guard lock(mutex_);
    port_.close();
    session_ = 0;
}

bool RigPort::closeSession(PortSession session) {
    std::lock_guard lock(mutex_);
    if (session == 0 || session != session_) return false;
    port_.close();
    session_ = 0;
    return true;
}

PortSession RigPort::session() const {
    std::lock_guard lock(mutex_);
    return session_;
}

std::uint32_t RigPort::currentError() const {
    return platform::lastSystemError();
}

void RigPort::restoreError(std::uint32_t code) const {
    platform::setLastSystemError(code);
}

RigPort& rigPort() {
    static RigPort port;
    return port;
}

namespace {

[[maybe_unused]] const bool rigPortBuiltAtLoad = (rigPort(), true);

void require(bool succeeded) {
    if (!succeeded) RaiseSerialError();
}

}  // namespace

PortSession openRigPort(int comNumber) {
    return rigPort().open(comNumber);
}

PortSession configureRigPort(int comNumber) {
    RigPort& port = rigPort();
    PortSession session = 0;
    try {
        require(platform::commPortExists(L"COM" + std::to_wstring(comNumber)));
        session = port.open(comNumber);
        require(session != 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // Only asked for, never required: virtual ports (a pty under Wine, some USB CDC drivers)
        // have no modem lines and fail the call, and its answer is of no use here anyway.
        port.use(session, [](platform::SerialHandle handle) { return platform::getCommModemStatus(handle); });
        require(port.use(session, [](platform::SerialHandle handle) { return platform::clearCommError(handle, nullptr); }));
        require(port.use(session, [](platform::SerialHandle handle) {
            std::uint32_t ignored = 0;
            return platform::clearCommError(handle, &ignored);
        }));
        require(port.use(session, [](platform::SerialHandle handle) {
            platform::CommTimeouts timeouts;
            if (!platform::getCommTimeouts(handle, timeouts)) return false;
            timeouts.readTotalConstant = 10000;
            timeouts.writeTotalConstant = 10000;
            return platform::setCommTimeouts(handle, timeouts);
        }));
        require(port.use(session, [](platform::SerialHandle handle) { return platform::setupComm(handle, 40960, 40960); }));
        return session;
    } catch (const CSerialException&) {
        const std::uint32_t error = platform::lastSystemError();
        consolePrint("Serialexception when open port. , Error:%u\n", error);
        port.closeSession(session);
        platform::setLastSystemError(error);
        return 0;
    }
}

int closeRigPort() {
    bridgeState().serialConnected.store(false);
    rigPort().close();
    return 1;
}

void closeRigPort(PortSession session) {
    // serialConnected belongs to the session that is being closed; a stale session leaves the
    // flag of a newer connection alone.
    if (rigPort().closeSession(session)) bridgeState().serialConnected.store(false);
}

void writeRigPort(PortSession session, std::span<const std::uint8_t> bytes) {
    require(rigPort().use(session, [bytes](platform::SerialHandle handle) {
        std::uint32_t written = 0;
        return platform::writeSerial(handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()), written);
    }));
}

void RigPortWriter::write(void* writer, std::span<const std::uint8_t> frame) {
    writeRigPort(static_cast<RigPortWriter*>(writer)->session, frame);
}

}  // namespace tarvelin::serial
