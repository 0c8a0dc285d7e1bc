#include "net/udp_listener.h"

#include <chrono>
#include <thread>

#include "net/rig_datagram_receiver.h"
#include "net/udp_endpoint.h"
#include "net/udp_link_state.h"
#include "platform/realtime.h"
#include "serial/bridge_state.h"

namespace tarvelin {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds passPause{2};
constexpr milliseconds serialPriorityPause{100};
// Every waiting datagram is read in a pass, up to this many, so that a controller answering
// faster than one datagram per pass (a fragmented message comes as a burst) loses nothing to a
// full socket buffer, while a flood cannot hold the thread in one pass.
constexpr int datagramsPerPass = 64;

}  // namespace

void runUdpListener(std::unique_ptr<ErrorLog> log) {
    serial::BridgeState& state = serial::bridgeState();
    UdpLinkState& link = udpLinkState();
    log->logInfo(L"Udp listen thread: starting");
    platform::requestFineTimerResolution();
    platform::raiseProcessPriority();
    platform::raiseThreadPriority();
    state.interfaceEnabled.store(true);
    state.udpLinkUp.store(true);

    {
        UdpEndpoint endpoint;
        // A port that cannot be opened is only logged: the thread runs on and hears nothing.
        endpoint.open(link.udpListenPort.load());
        log->logInfo(L"Udp listen thread: port opened starting main routine");
        RigDatagramReceiver receiver(state, RigDatagramReceiver::Clock::now());

        while (state.udpRunning.load()) {
            // While the controller answers on the serial line, that line has priority and
            // datagrams wait in the socket unread.
            while (serial::liveTransport(state) == serial::Transport::serial && state.udpRunning.load()) {
                std::this_thread::sleep_for(serialPriorityPause);
            }
            for (int datagram = 0; datagram < datagramsPerPass; ++datagram) {
                const long length = endpoint.receiveIntoBuffer();
                if (length <= 0) break;
                receiver.take({endpoint.receiveBuffer.data(), static_cast<std::size_t>(length)}, endpoint.address.ipv4,
                              RigDatagramReceiver::Clock::now());
            }
            receiver.checkSilence(RigDatagramReceiver::Clock::now());
            std::this_thread::sleep_for(passPause);
        }

        log->logInfo(L"Udp listen thread: closing");
        endpoint.close();
        receiver.close();
    }
    log.reset();
    udpThreadEnded(link.listenThreadActive);
}

}  // namespace tarvelin
