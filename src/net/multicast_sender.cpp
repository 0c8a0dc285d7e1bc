#include "net/multicast_sender.h"

#include <chrono>
#include <string>
#include <thread>

#include "net/adapter_choice.h"
#include "net/ipv4_text.h"
#include "net/udp_link_state.h"
#include "platform/realtime.h"
#include "serial/crc16.h"

namespace tarvelin {

namespace {

constexpr auto standAsidePause = std::chrono::milliseconds(100);

void writeDatagram(void* context, std::span<const std::uint8_t> frame) {
    sendDatagram(*static_cast<MulticastContext*>(context), frame.data(), frame.size());
}

std::wstring numbered(const char* text, long number) {
    return widen(text + std::to_string(number));
}

// Steps 3 to 7 of the thread: a socket bound to the preferred adapter, aimed at the group.
// False, with the reason logged and everything released, when that cannot be had.
bool openMulticastSocket(MulticastContext& context) {
    ErrorLog& log = context.log;
    const int startup = platform::socketStartup();
    if (startup != 0) {
        log.logInfo(numbered("WSAStartup failed: ", startup));
        return false;
    }
    const std::string ip = GetPreferredEthernetAdapter(log);
    const auto local = parseIPv4(ip);
    if (!local) {
        log.logInfo(L"No suitable Ethernet adapter found. Exiting.");
        platform::socketCleanup();
        return false;
    }
    context.socket = platform::openUdpSocket();
    if (context.socket == platform::invalidSocket) {
        log.logInfo(numbered("Socket failed: ", platform::lastSocketError()));
        platform::socketCleanup();
        return false;
    }
    if (!platform::bindSocket(context.socket, platform::SocketAddress{*local, 0})) {
        log.logInfo(numbered("bind() failed: ", platform::lastSocketError()));
        platform::closeSocket(context.socket);
        context.socket = platform::invalidSocket;
        platform::socketCleanup();
        return false;
    }
    log.logInfo(widen("Bound to IP: " + ip));
    // Windows sends multicast from the interface of the bound address; Linux would follow its
    // routing table instead. Naming the interface makes the adapter choice hold everywhere.
    platform::setMulticastInterface(context.socket, *local);
    // The address was validated by setMulticastAddr (or is the default).
    const std::string group = udpLinkState().multicastAddress();
    context.destination = platform::SocketAddress{parseIPv4(group).value_or(0), multicastPort};
    return true;
}

}  // namespace

void sendDatagram(MulticastContext& context, const std::uint8_t* bytes, std::size_t length) {
    platform::sendTo(context.socket, bytes, length, context.destination);
}

MulticastPass::MulticastPass(MulticastContext& context, std::int32_t& repeatCount)
    : context_(context), repeatCount_(repeatCount) {
    sendContext_.write = &writeDatagram;
    sendContext_.object = &context_;
}

void MulticastPass::sendWaiting(serial::BridgeState& state) {
    // The last two bytes of these messages go out as the host left them: the UDP transport
    // carries its own checksum, and the controller expects no check field in them.
    while (state.udpSendQueue.takeFront(message_)) {
        if (message_.size() <= 2) continue;
        state.udpMotion.limit(message_);
        serial::sendLargeOrWhole(sendContext_, message_);
    }
    if (state.autoSendQueue.copyFront(message_)) {
        if (message_.size() > 2) {
            if (state.versionAtLeast328.load() == 1) {
                serial::storeCrc(serial::crc16Arc({message_.data(), message_.size() - 2}), message_.data() + message_.size() - 2);
            }
            sendDatagram(context_, message_.data(), message_.size());
        }
        state.autoSendQueue.advanceRepetition(repeatCount_);
    }
}

void runMulticastSender(std::unique_ptr<MulticastContext> context) {
    serial::BridgeState& state = serial::bridgeState();
    UdpLinkState& link = udpLinkState();
    ErrorLog& log = context->log;
    log.logInfo(L"Multicast Thread started.");
    platform::requestFineTimerResolution();
    platform::raiseProcessPriority();
    platform::raiseThreadPriority();

    if (openMulticastSocket(*context)) {
        log.logInfo(L"Starting Timer");
        link.multicastTimer.restart();
        state.interfaceEnabled.store(true);
    
        MulticastPass pass(*context, link.udpAutoRepeatCount);
        for (;;) {
            if (state.interfaceEnabled.load() && serial::liveTransport(state) != serial::Transport::serial) {
                pass.sendWaiting(state);
                link.multicastTimer.waitNextPeriod();
            } else {
                std::this_thread::sleep_for(standAsidePause);
            }
            if (!state.udpRunning.load()) break;
        }

        log.logInfo(L"Closing socket");
        platform::closeSocket(context->socket);
        platform::socketCleanup();
    }
    context.reset();
    udpThreadEnded(link.multicastThreadActive);
}

}  // namespace tarvelin
