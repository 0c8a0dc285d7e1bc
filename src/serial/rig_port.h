#pragma once
// The one serial port to the rig controller, and the operations that open, condition, use and
// close it.
//
// The port is shared by the bridge loop and by host threads (pauseInterface, resumeInterface),
// so every use of its handle happens under the port's lock, and every opening starts a new
// session with a number of its own. Callers name the session they opened or found; a call for
// a session that has ended (the port was closed, or closed and opened again by another thread
// meanwhile) never reaches the new handle: it fails as a call on a closed handle would. Thus
// no thread can act on a stale handle, nor on one that the system has handed out again.

#include <cstdint>
#include <mutex>
#include <span>

#include "platform/serial_port.h"

namespace tarvelin::serial {

class CSerialPort2 {
public:
    CSerialPort2() = default;
    virtual ~CSerialPort2();
    CSerialPort2(const CSerialPort2&) = delete;
    CSerialPort2& operator=(const CSerialPort2&) = delete;

    bool isOpen() const { return handle != platform::invalidSerialHandle(); }
    // Closes the handle when open and marks the port closed.
    void close();

    platform::SerialHandle handle = platform::invalidSerialHandle();
};

class CSerialPort : public CSerialPort2 {
public:
    ~CSerialPort() override;
};

// The number of one opening of the rig port; 0 stands for none.
using PortSession = std::uint64_t;

class RigPort {
public:
    // Opens COM `comNumber` and sets 250000 baud, 8N1, no handshake, after closing whatever
    // was open. Returns the new session, or 0 with the port closed and the last system error
    // as the failing call left it.
    PortSession open(int comNumber);

    // Closes the port whatever session it is in.
    void close();
    // Closes the port only while it is still in `session`; true when it did.
    bool closeSession(PortSession session);

    // The current session, 0 while closed.
    PortSession session() const;

    // Runs `call(handle)` under the port's lock when the port is in `session`; otherwise fails
    // with the invalid-handle error, as a call on a closed handle does. The lock is held for the
    // call only, and the call's last system error survives the unlocking.
    template <typename Call>
    bool use(PortSession session, Call&& call);

private:
    void restoreError(std::uint32_t code) const;
    std::uint32_t currentError() const;

    mutable std::mutex mutex_;
    CSerialPort port_;
    PortSession session_ = 0;
    PortSession lastSession_ = 0;
};

// The process's rig port (closed at unload when still open).
RigPort& rigPort();

// Opens COM n as the rig port: 250000 baud, 8N1, handshake off. Nonzero session or 0.
PortSession openRigPort(int comNumber);

// Checks that COM n exists, opens it, and conditions it for the link (read and write time-outs
// of 10 s, 40960-byte queues, errors cleared). The session on success; 0 on failure, after
// printing "Serialexception when open port. , Error:%u" and closing the session it opened.
PortSession configureRigPort(int comNumber);

// Clears serialConnected and closes the port whatever session it is in. Always 1.
int closeRigPort();
// Clears serialConnected and closes the port only while it is in `session`.
void closeRigPort(PortSession session);

// One write of `bytes` on the rig port in `session`; throws CSerialException on failure.
void writeRigPort(PortSession session, std::span<const std::uint8_t> bytes);

// What a send context needs to write through writeRigPort.
struct RigPortWriter {
    PortSession session = 0;
    static void write(void* writer, std::span<const std::uint8_t> frame);
};

template <typename Call>
bool RigPort::use(PortSession session, Call&& call) {
    std::uint32_t error = 0;
    bool result = false;
    {
        std::lock_guard lock(mutex_);
        if (session == 0 || session != session_ || !port_.isOpen()) {
            error = platform::serialErrorInvalidHandle;
        } else {
            result = call(port_.handle);
            if (!result) error = currentError();
        }
    }
    if (!result) restoreError(error);
    return result;
}

}  // namespace tarvelin::serial
