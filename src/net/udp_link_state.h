#pragma once
// The settings and bookkeeping of the rig controller link over UDP: the listening port, the
// multicast group, and which of its two threads run. Process-wide, built when the library
// loads; the flags and queues the threads share with the serial bridge live in BridgeState.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/frame_timer.h"

namespace tarvelin {

inline constexpr std::int32_t defaultUdpListenPort = 53241;
inline constexpr const char* defaultMulticastAddress = "232.11.12.14";
// The group's port; no operation changes it.
inline constexpr std::uint16_t multicastPort = 51324;

class UdpLinkState {
public:
    UdpLinkState() = default;
    // Asks the threads to end and waits a moment for them, so that none is left touching the
    // link's state while it is destroyed at exit.
    ~UdpLinkState();
    UdpLinkState(const UdpLinkState&) = delete;
    UdpLinkState& operator=(const UdpLinkState&) = delete;

    // The port the listening thread opens when it starts (setUDPport).
    std::atomic<std::int32_t> udpListenPort{defaultUdpListenPort};

    // The multicast group in dotted form, as last validated (setMulticastAddr). Written by host
    // threads, read by the sender thread when it starts.
    std::string multicastAddress() const;
    void setMulticastAddress(std::string address);

    // One listener and one sender at a time: a second would fight the first for the port, the
    // queues and the auto message's repetition.
    std::atomic<bool> listenThreadActive{false};
    std::atomic<bool> multicastThreadActive{false};

    FrameTimer multicastTimer;            // sender thread only
    std::int32_t udpAutoRepeatCount = 0;  // sender thread only

private:
    mutable std::mutex addressMutex_;
    std::string multicastAddress_ = defaultMulticastAddress;
};

UdpLinkState& udpLinkState();

// A UDP thread is about to start: the threads are to run, the link is up, and a stop waits for
// this one too.
void udpThreadStarting();
// A UDP thread has ended (or failed to start): the UDP threads are to end, a stop may return,
// and once none is left the link is no longer up. `active` is the thread's own flag.
void udpThreadEnded(std::atomic<bool>& active);

}  // namespace tarvelin
