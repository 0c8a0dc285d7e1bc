#include "serial/bridge.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/module_lifetime.h"
#include "platform/realtime.h"
#include "platform/serial_port.h"
#include "platform/shared_memory.h"
#include "platform/system_error.h"
#include "serial/bridge_state.h"
#include "serial/console.h"
#include "serial/crc16.h"
#include "serial/line_framer.h"
#include "serial/port_discovery.h"
#include "serial/rig_port.h"
#include "serial/send_large_or_whole.h"
#include "serial/serial_exception.h"

namespace tarvelin::serial {

namespace {

using std::chrono::milliseconds;

constexpr std::size_t mailboxSize = 4096;
// A real line brings at most 50 bytes per 2 ms pass; a virtual port can flood far faster. The
// receive step takes at most this many bytes per pass (ten times the line's rate), so that such
// a flood cannot keep the loop from sending: cutting them into frames costs about a
// millisecond even when every fourth byte starts a long length claim; the rest is read on the
// next pass.
constexpr std::size_t receiveLimitPerPass = 512;
// While the link is down and nothing is to be scanned, the loop waits this long per pass.
constexpr milliseconds idlePause{10};
// stopBridge waits at most this long: a loop pass blocked in a port write ends within the
// port's 10 s write time-out.
constexpr auto stopWaitLimit = std::chrono::seconds(15);
// How long a loop that has just ended is given to leave the library's code when the library is
// unloaded under it: a few instructions, however loaded the machine.
constexpr milliseconds teardownReturnMargin{50};
// How long the controller has to answer the identification request: the port's read time-out.
constexpr auto identificationTimeout = std::chrono::seconds(10);
// The step of the link's waits, and so how soon a stop ends one.
constexpr milliseconds waitStep{2};

void sleepFor(milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

void require(bool succeeded) {
    if (!succeeded) RaiseSerialError();
}

bool purge(PortSession session) {
    return rigPort().use(session, [](platform::SerialHandle handle) { return platform::purgeReceive(handle); });
}

bool bytesWaiting(PortSession session, std::uint32_t& waiting) {
    return rigPort().use(session, [&waiting](platform::SerialHandle handle) { return platform::clearCommError(handle, &waiting); });
}

bool readPort(PortSession session, std::uint8_t* buffer, std::uint32_t length, std::uint32_t& read) {
    return rigPort().use(session, [&](platform::SerialHandle handle) { return platform::readSerial(handle, buffer, length, read); });
}

void sendIdentificationRequests(PortSession session) {
    writeRigPort(session, identificationRequest);
    writeRigPort(session, identificationRequest);
}

// Waits for the controller's 8-byte answer to the identification request, for as long as the
// port's read time-out would, and reads it. The wait is made in steps rather than in one read
// that blocks, so that a stop ends it at once and the port's lock is never held for long (the
// loop and pauseInterface take it too). Fewer than 8 bytes read means no answer.
void readIdentificationReply(PortSession session, std::uint8_t (&reply)[8], std::uint32_t& read, std::uint32_t since) {
    read = 0;
    const auto deadline = std::chrono::steady_clock::now() + identificationTimeout;
    for (;;) {
        std::uint32_t waiting = 0;
        require(bytesWaiting(session, waiting));
        if (waiting >= sizeof reply) break;
        if (std::chrono::steady_clock::now() >= deadline || !pauseUnlessStopped(waitStep, since)) return;
    }
    require(readPort(session, reply, sizeof reply, read));
}

bool isIdentificationReply(const std::uint8_t* bytes) {
    for (const auto& reply : {identificationReplyId1, identificationReplyId1Crc, identificationReplyId2, identificationReplyId2Crc}) {
        if (std::equal(reply.begin(), reply.end(), bytes)) return true;
    }
    return false;
}

// Motion queued while no controller was connected is out of date by the time one is: a freshly
// identified controller starts from what comes after its connection.
void dropStaleMessages() {
    bridgeState().serialSendQueue.clear();
}

// One scanned port: configure, ask twice, compare the last 8 bytes that came back. Returns
// true when the scan is over (connected, stopped, or the port stopped answering mid-read).
bool tryScannedPort(unsigned number, std::uint32_t since) {
    BridgeState& state = bridgeState();
    const PortSession session = configureRigPort(static_cast<int>(number));
    if (session != 0) {
        try {
            require(purge(session));
            sendIdentificationRequests(session);
            if (!pauseUnlessStopped(milliseconds(10), since)) {
                closeRigPort(session);
                return true;
            }
            std::uint32_t waiting = 0;
            require(bytesWaiting(session, waiting));
            if (waiting >= 8) {
                std::vector<std::uint8_t> discarded(waiting - 8);
                std::uint32_t read = 0;
                if (!discarded.empty()) {
                    require(readPort(session, discarded.data(), static_cast<std::uint32_t>(discarded.size()), read));
                }
                std::uint8_t reply[8] = {};
                require(readPort(session, reply, sizeof reply, read));
                if (read < sizeof reply) {
                    closeRigPort(session);
                    return true;
                }
                if (isIdentificationReply(reply)) {
                    dropStaleMessages();
                    state.serialConnected.store(true);
                    sendMessage(firstMessageAfterAutoConnect);
                    sendMessage(secondMessageAfterAutoConnect);
                    return true;
                }
            }
        } catch (const CSerialException&) {
            consolePrint("Serialexception , Error:%u\n", platform::lastSystemError());
        }
    }
    closeRigPort(session);
    consolePrint("Serialexception , Error:%u\n", platform::lastSystemError());
    return false;
}

// The loop's receive step: what the driver holds, up to the pass's limit, in one or two reads.
// (One read per byte costs two port calls a byte; under Wine a full driver queue then kept a
// pass busy for most of a second, and the motion frames queued meanwhile waited.) `caughtUp`
// tells whether the driver was left empty. False when a port call failed (the port has then
// been closed).
bool receive(PortSession session, LineFramer& framer, LineFramer::Clock::time_point now, bool& caughtUp) {
    try {
        std::array<std::uint8_t, receiveLimitPerPass> chunk;
        std::size_t received = 0;
        caughtUp = false;
        while (received < chunk.size()) {
            std::uint32_t waiting = 0;
            require(bytesWaiting(session, waiting));
            if (waiting == 0) {
                caughtUp = true;
                break;
            }
            const auto wanted = static_cast<std::uint32_t>(std::min(std::size_t{waiting}, chunk.size() - received));
            std::uint32_t read = 0;
            require(readPort(session, chunk.data() + received, wanted, read));
            // Only what the read delivered: a read that timed out short must not add bytes the
            // line never carried.
            received += read;
            if (read < wanted) break;
        }
        framer.append({chunk.data(), received}, now);
        return true;
    } catch (const CSerialException& error) {
        consolePrint(" Serial Exception Error: %u \n", error.errorCode);
        closeRigPort(session);
        return false;
    }
}

// The end of a pass: the rest of its 2 ms period. Paced, the bridge timer spins it out. In the
// low-latency mode the loop sleeps until the engine signals a frame and sends it at once, as
// often as it is woken, while the rest of the loop keeps its 2 ms; once the port has closed, what
// comes waits for the next pass.
template <typename SendQueued>
void waitForNextPass(BridgeState& state, PortSession session, SendQueued& sendQueued) {
    if (!state.sendOnSignal.load()) {
        state.bridgeTimer.waitNextPeriod();
        return;
    }
    state.bridgeTimer.waitNextPeriod([&](std::chrono::microseconds left) {
        if (state.frameQueued.wait(left) && rigPort().session() == session) sendQueued();
    });
}

// The loop, once runBridge has taken it; `since` is the stop count noted then.
void bridgeLoop(std::uint32_t since) {
    BridgeState& state = bridgeState();
    state.interfaceEnabled.store(true);
    state.bridgeTimer.restart();

    LineFramer framer(state.serialReceiveQueue, state.versionAtLeast328);
    RigPortWriter writer;
    SendContext sendContext;
    sendContext.write = &RigPortWriter::write;
    sendContext.object = &writer;
    Message message;

    for (;;) {
        if (!state.bridgeRunning.load()) break;
        // While the controller answers over UDP, the serial line stands aside.
        if (!state.interfaceEnabled.load() || liveTransport(state) == Transport::udp) {
            pauseUnlessStopped(milliseconds(100), since);
            continue;
        }
        const PortSession session = rigPort().session();
        if (!state.serialConnected.load() || session == 0) {
            state.serialPeerActive.store(false);
            // What was left of the last connection's stream would be glued to the next one's; a
            // stray length field could then hold up the first frames of the new connection.
            framer.reset();
            if (state.autoconnectEnabled.load()) {
                autoConnect(since);
            } else {
                sleepFor(idlePause);
            }
            continue;
        }
        writer.session = session;

        auto sendQueued = [&] {
            while (state.serialSendQueue.takeFront(message)) {
                if (message.size() < 2) continue;
                state.serialMotion.limit(message);
                storeCrc(crc16Arc({message.data(), message.size() - 2}), message.data() + message.size() - 2);
                try {
                    sendLargeOrWhole(sendContext, message);
                } catch (const CSerialException& error) {
                    consolePrint(" Serial Exception Error: %u \n", error.errorCode);
                    closeRigPort(session);
                }
            }
        };
        sendQueued();

        if (state.autoSendQueue.copyFront(message)) {
            if (message.size() > 2) {
                try {
                    writeRigPort(session, message);
                } catch (const CSerialException& error) {
                    consolePrint(" Serial Exception Error: %u \n", error.errorCode);
                    closeRigPort(session);
                }
            }
            state.autoSendQueue.advanceRepetition(state.autoRepeatCount);
        }

        const auto now = LineFramer::Clock::now();
        bool caughtUp = false;
        if (!receive(session, framer, now, caughtUp)) continue;
        if (framer.parse(now, caughtUp) != 0) state.serialPeerActive.store(true);
        waitForNextPass(state, session, sendQueued);
    }

    closeRigPort();
    framer.reset();
}

}  // namespace

int runBridge() {
    BridgeState& state = bridgeState();
    std::uint32_t since = 0;
    {
        // Two loops on one port would split the controller's byte stream between them and lose
        // frames; the second caller returns as if its loop had ended. The loop is taken here, in
        // one step with its running flag, so that a stop from now on always ends it.
        std::lock_guard lock(state.lifecycleMutex);
        if (state.loopActive.load()) return 1;
        state.loopActive.store(true);
        state.bridgeRunning.store(true);
        state.bridgeStopped.store(false);
        since = state.stopRequests.load();
    }

    platform::requestFineTimerResolution();
    platform::raiseProcessPriority();
    platform::raiseThreadPriority();

    platform::SharedMemory transmitBlock;
    platform::SharedMemory receiveBlock;
    if (transmitBlock.createOrOpen(L"Tarvelin_tx", mailboxSize)) {
        if (transmitBlock.map(platform::MapAccess::readWrite, mailboxSize) == nullptr) {
            consolePrint("Could not map view of file (%d).\n", static_cast<int>(platform::lastSystemError()));
            transmitBlock.close();
        } else if (receiveBlock.createOrOpen(L"Tarvelin_rx", mailboxSize)) {
            if (receiveBlock.map(platform::MapAccess::readWrite, mailboxSize) == nullptr) {
                consolePrint("Could not map view of file (%d).\n", static_cast<int>(platform::lastSystemError()));
                receiveBlock.close();
            }
        }
    }

    bridgeLoop(since);

    receiveBlock.close();
    transmitBlock.close();
    closeRigPort();
    // Frames that came over the closed port say nothing about the next loop's line: left set, the
    // flag would send the next loop's first messages to the serial queue alone until its first
    // pass cleared it.
    state.serialPeerActive.store(false);
    // The loop counts as ended only once everything it held is released, so that a start right
    // after stopBridge returned finds no loop still winding down.
    state.loopActive.store(false);
    state.bridgeStopped.store(true);
    return 1;
}

// Ends the loop that runs, and one that a host thread is getting going meanwhile: a host that
// starts the loop on a thread of its own and stops it at once cannot know whether its thread has
// reached startMMFtoSerial_Thread yet, and must not be left with a loop that never ends.
void stopBridge() {
    BridgeState& state = bridgeState();
    {
        std::lock_guard lock(state.lifecycleMutex);
        state.stopRequests.fetch_add(1);
        state.bridgeRunning.store(false);
        state.udpRunning.store(false);
    }
    const auto asked = std::chrono::steady_clock::now();
    bool loopSeen = false;
    for (;;) {
        bool loopEnded = false;
        {
            std::lock_guard lock(state.lifecycleMutex);
            // A loop taken since this stop began is ended as well.
            if (state.loopActive.load() && state.bridgeRunning.load()) {
                state.stopRequests.fetch_add(1);
                state.bridgeRunning.store(false);
            }
            loopEnded = !state.loopActive.load();
        }
        loopSeen = loopSeen || !loopEnded;
        // A UDP start that came meanwhile set the threads running again; they stay.
        const bool udpEnded = state.udpThreads.load() == 0 || state.udpRunning.load();
        const auto waited = std::chrono::steady_clock::now() - asked;
        if (loopEnded && udpEnded && (loopSeen || waited >= startGrace)) return;
        if (waited > stopWaitLimit) return;
        sleepFor(milliseconds(1));
    }
}

void sendOnSignal(bool on) { bridgeState().sendOnSignal.store(on); }

void signalFrameQueued() {
    BridgeState& state = bridgeState();
    if (state.sendOnSignal.load()) state.frameQueued.signal();
}

namespace {

// The loop runs on a host thread, inside the library's code and on the library's state. A host
// that unloads the library, or ends the process, while the loop runs would leave that thread
// in code and state that are gone; so the loop is ended first, as stopMMFtoSerial_Thread ends
// it. Built at load time after the state the loop uses, so that it is destroyed before it.
class LoopTeardown {
public:
    LoopTeardown() = default;
    LoopTeardown(const LoopTeardown&) = delete;
    LoopTeardown& operator=(const LoopTeardown&) = delete;
    ~LoopTeardown() {
        // At process exit on Windows the host's threads are gone already, the loop's with them.
        if (platform::teardown() == platform::Teardown::processExit) return;
        if (!bridgeState().loopActive.load()) return;
        // On Windows this runs under the loader lock; the loop's closing steps never need it.
        stopBridge();
        // The loop has ended; its thread still returns through a few instructions of the
        // library's code into the host's, which the unload must not pull from under it.
        sleepFor(teardownReturnMargin);
    }
};

[[maybe_unused]] const bool loopTeardownBuiltAtLoad = (bridgeState(), rigPort(), [] {
    static LoopTeardown teardown;
    return true;
}());

}  // namespace

bool stopRequestedSince(std::uint32_t since) {
    return bridgeState().stopRequests.load() != since;
}

bool pauseUnlessStopped(milliseconds duration, std::uint32_t since) {
    const auto end = std::chrono::steady_clock::now() + duration;
    for (;;) {
        if (stopRequestedSince(since)) return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(end - now, waitStep));
    }
}

int sendMessage(std::span<const std::uint8_t> message) {
    BridgeState& state = bridgeState();
    if (!state.bridgeRunning.load() && !state.udpRunning.load()) return -1;
    if (message.empty()) return -1;
    switch (liveTransport(state)) {
        case Transport::serial:
            if (state.serialSendQueue.pushIfBelow(queueLimit, message)) return 1;
            if (state.udpPeerActive.load() && state.udpSendQueue.pushIfBelow(queueLimit, message)) return 1;
            return -1;
        case Transport::udp:
            return state.udpSendQueue.pushIfBelow(queueLimit, message) ? 1 : -1;
        case Transport::neither:
            // No side has answered yet: the message waits for whichever transport comes up.
            state.serialSendQueue.pushIfBelow(queueLimit, message);
            state.udpSendQueue.pushIfBelow(queueLimit, message);
            return 1;
    }
    return -1;
}

int connectStandardPort(std::uint32_t since) {
    BridgeState& state = bridgeState();
    if (state.serialConnected.load()) return 0;
    sleepFor(milliseconds(5));
    const int number = state.standardPort.load();
    const std::string name = "COM" + std::to_string(number);
    if (state.usbChipCheck.load() && !isSupportedUsbSerial(name)) {
        consolePrint("fail vid..");
        return 0;
    }

    const PortSession session = configureRigPort(number);
    if (session != 0) {
        try {
            consolePrint("opened..");
            sleepFor(milliseconds(15));
            require(purge(session));
            sendIdentificationRequests(session);
            std::uint8_t reply[8] = {};
            std::uint32_t read = 0;
            readIdentificationReply(session, reply, read, since);
            if (read == sizeof reply) {
                if (std::equal(identificationReplyId1.begin(), identificationReplyId1.end(), reply)) {
                    consolePrint("..id correct. \n");
                    dropStaleMessages();
                    state.serialConnected.store(true);
                    return 1;
                }
                consolePrint(".. wrong id");
                closeRigPort(session);
                return 0;
            }
        } catch (const CSerialException&) {
            consolePrint("Error port open..");
        }
    }
    closeRigPort(session);
    consolePrint("Serialexception when open port. , Error:%u\n", platform::lastSystemError());
    sleepFor(milliseconds(15));
    return 0;
}

void autoConnect(std::uint32_t since) {
    BridgeState& state = bridgeState();
    if (!pauseUnlessStopped(milliseconds(50), since)) return;
    std::vector<unsigned> ports;
    if (!CEnumerateSerial::UsingQueryDosDevice(ports)) {
        consolePrint("CEnumerateSerial::UsingQueryDosDevice failed, Error:%u\n", platform::lastSystemError());
        return;
    }
    if (!pauseUnlessStopped(milliseconds(50), since)) return;
    for (const unsigned number : ports) consolePrint("COM%u ", number);

    for (const unsigned number : ports) {
        if (!pauseUnlessStopped(milliseconds(200), since)) return;
        if (!state.bridgeRunning.load() || !state.interfaceEnabled.load() || !state.autoconnectEnabled.load()) return;
        // The chip check always applies here: a scan never writes to a device it cannot name.
        if (!isSupportedUsbSerial("COM" + std::to_string(number))) continue;
        if (tryScannedPort(number, since)) return;
    }
}

}  // namespace tarvelin::serial
