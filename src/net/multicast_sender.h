#pragma once
// The multicast sender: the sending half of the rig controller's network link. A thread takes
// the messages the bridge keeps for the UDP transport and sends each as one datagram to the
// multicast group, from the machine's preferred wired Ethernet adapter, and stands aside while
// the serial line carries the link.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "log/error_log.h"
#include "platform/socket.h"
#include "serial/bridge_state.h"
#include "serial/send_large_or_whole.h"

namespace tarvelin {

// Made by the start export and kept by the thread for its whole life.
struct MulticastContext {
    platform::SocketHandle socket = platform::invalidSocket;
    platform::SocketAddress destination{};
    ErrorLog log;
};

// One datagram from the context's socket to its destination. A datagram that cannot be sent
// is lost like any other on the network; the sender does not wait for room.
void sendDatagram(MulticastContext& context, const std::uint8_t* bytes, std::size_t length);

// What one pass of the sender sends. Not thread-safe; the thread has one.
class MulticastPass {
public:
    // `repeatCount` counts the repetitions of the newest auto message.
    MulticastPass(MulticastContext& context, std::int32_t& repeatCount);

    // Sends every message waiting in udpSendQueue as it stands (FA messages of more than 500
    // bytes as fragment frames, one datagram each), then the newest auto message, with its check
    // field written when the controller's firmware (version 328 or later) expects it. Messages
    // of 2 bytes or fewer are dropped unsent.
    void sendWaiting(serial::BridgeState& state);

private:
    MulticastContext& context_;
    serial::SendContext sendContext_;
    std::int32_t& repeatCount_;
    serial::Message message_;
};

// The sender thread, until udpRunning is cleared or it cannot set up its socket.
void runMulticastSender(std::unique_ptr<MulticastContext> context);

}  // namespace tarvelin
