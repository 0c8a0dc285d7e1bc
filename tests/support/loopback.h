#pragma once
// Small helpers for tests that talk to the engine over real loopback sockets.

#include <cstdint>
#include <vector>

#include "platform/socket.h"

namespace tarvelin::test {

// A UDP socket bound to a free loopback port, for sending datagrams to the code under test
// or for learning a port number that nothing else holds.
class UdpPeer {
public:
    UdpPeer() {
        platform::socketStartup();
        socket_ = platform::openUdpSocket();
        platform::bindSocket(socket_, platform::SocketAddress{0, 0});
        port_ = platform::localPort(socket_);
    }
    ~UdpPeer() {
        platform::closeSocket(socket_);
        platform::socketCleanup();
    }
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    long sendTo(std::uint16_t port, const std::vector<std::uint8_t>& datagram) const {
        return platform::sendTo(socket_, datagram.data(), datagram.size(),
                                platform::SocketAddress{platform::loopbackIpv4, port});
    }
    std::uint16_t port() const { return port_; }
    platform::SocketHandle socket() const { return socket_; }

private:
    platform::SocketHandle socket_ = platform::invalidSocket;
    std::uint16_t port_ = 0;
};

// A port number that was free a moment ago (bound and released again).
inline std::uint16_t freeUdpPort() {
    UdpPeer probe;
    return probe.port();
}

}  // namespace tarvelin::test
