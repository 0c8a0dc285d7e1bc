#pragma once
// The process-wide state of the rig controller link: its flags, its five message queues and
// the bridge loop's timer. It lives from library load to unload and belongs to no engine object;
// the serial bridge, the UDP listening thread and the multicast sender all share it.
//
// Flags are atomics (sequentially consistent: each is written by one side and polled by the
// other). Queues are safe for concurrent producers and consumers. Fields marked "loop only"
// belong to the thread running the bridge loop.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "core/frame_timer.h"
#include "platform/wake_event.h"
#include "serial/message_queue.h"
#include "serial/motion_step_guard.h"

namespace tarvelin::serial {

struct BridgeState {
    std::atomic<bool> serialConnected{false};     // rig port open and identified
    std::atomic<bool> serialPeerActive{false};    // valid frames came over serial since connecting
    std::atomic<bool> udpPeerActive{false};       // valid frames came over UDP within the last 8 s
    std::atomic<bool> udpLinkUp{false};           // a UDP thread runs (cleared when the last one ends)
    std::atomic<bool> bridgeRunning{false};       // the bridge loop is to keep running
    std::atomic<bool> bridgeStopped{false};       // the bridge loop has ended
    std::atomic<bool> udpRunning{false};          // the UDP threads are to keep running
    std::atomic<bool> udpStopped{false};          // a UDP thread has ended
    std::atomic<bool> interfaceEnabled{true};     // pauseInterface / resumeInterface
    std::atomic<bool> autoconnectEnabled{false};  // scan the COM ports while not connected
    std::atomic<std::int32_t> standardPort{0};    // COM number for the standard-port connection
    std::atomic<std::int32_t> versionAtLeast328{0};
    std::int32_t autoRepeatCount = 0;  // loop only
    FrameTimer bridgeTimer;            // loop only, but for its last interval

    MessageQueue serialSendQueue;
    MessageQueue autoSendQueue;
    MessageQueue udpSendQueue;
    MessageQueue serialReceiveQueue;
    MessageQueue udpReceiveQueue;

    // The standard-port connection checks the port's USB chip first (setUsbChipCheck).
    std::atomic<bool> usbChipCheck{true};
    // A bridge loop runs on some host thread; a second start while it does returns at once.
    std::atomic<bool> loopActive{false};
    // Makes a start's taking of the loop (loopActive, bridgeRunning) and a stop's ending of it
    // one step each, so that neither can undo the other. Held for those flags only.
    std::mutex lifecycleMutex;
    // The stops asked for so far (stopMMFtoSerial_Thread). A wait of the link notes the count
    // when it begins and ends early once the count has moved on (see stopRequestedSince).
    std::atomic<std::uint32_t> stopRequests{0};
    // UDP threads started and not yet ended (the listener and the multicast sender), so that a
    // stop can wait for every one of them.
    std::atomic<int> udpThreads{0};

    // The low-latency mode: the loop sends what the engine queues as soon as the engine's cycle
    // signals `frameQueued`, instead of on its next 2 ms pass.
    std::atomic<bool> sendOnSignal{false};
    platform::WakeEvent frameQueued;

    // The rate limits where the motion frames leave: one guard per transport, since while
    // neither has answered both send the same frames.
    MotionStepGuard serialMotion;
    MotionStepGuard udpMotion;
};

// Which side of the rig controller link carries the messages: the serial line once the
// controller has answered there, else UDP once it has answered there, else neither yet (and
// messages wait for both).
enum class Transport { neither, serial, udp };

inline Transport liveTransport(const BridgeState& state) {
    if (state.serialPeerActive.load()) return Transport::serial;
    if (state.udpPeerActive.load()) return Transport::udp;
    return Transport::neither;
}

// The one instance, built when the library loads.
BridgeState& bridgeState();

}  // namespace tarvelin::serial
