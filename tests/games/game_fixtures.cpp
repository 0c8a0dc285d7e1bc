#include "game_fixtures.h"

#include <chrono>
#include <vector>

#include "support/loopback.h"

namespace tarvelin::test {

TelemetryServer::TelemetryServer(std::uint16_t port) {
    platform::socketStartup();
    const platform::SocketHandle listener = platform::openTcpSocket();
    // A connection of an earlier test may linger in TIME_WAIT on this fixed port.
    platform::setReuseAddress(listener);
    if (!platform::bindSocket(listener, {platform::loopbackIpv4, port}) || !platform::listenSocket(listener, 4)) {
        platform::closeSocket(listener);
        return;
    }
    listener_ = listener;
    thread_ = std::thread([this] { serve(); });
}

TelemetryServer::~TelemetryServer() {
    running_.store(false);
    if (thread_.joinable()) thread_.join();
    if (listener_ != platform::invalidSocket) platform::closeSocket(listener_);
    platform::socketCleanup();
}

void TelemetryServer::serve() {
    constexpr auto poll = std::chrono::microseconds(20000);
    while (running_.load()) {
        if (platform::waitReadable(listener_, poll) != 1) continue;
        const platform::SocketHandle connection = platform::acceptConnection(listener_);
        if (connection == platform::invalidSocket) continue;
        while (running_.load()) {
            if (platform::waitReadable(connection, poll) != 1) continue;
            std::uint8_t request[64];
            if (platform::receive(connection, request, sizeof request) < 10) break;
            // 'N', type 1 (OK), the request's id, no data, 'L'.
            const std::uint8_t answer[10] = {'N', 0, 1, request[3], request[4], request[5], request[6], 0, 0, 'L'};
            // Counted before it goes out: the probe may see the answer before this thread runs on.
            answered_.fetch_add(1);
            platform::send(connection, answer, sizeof answer);
        }
        platform::closeSocket(connection);
    }
}

DatagramStream::DatagramStream(std::uint16_t port)
    : thread_([this, port] {
          UdpPeer peer;
          const std::vector<std::uint8_t> datagram{0x47, 0x41, 0x4D, 0x45};
          while (running_.load()) {
              peer.sendTo(port, datagram);
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
          }
      }) {}

DatagramStream::~DatagramStream() {
    running_.store(false);
    thread_.join();
}

}  // namespace tarvelin::test
