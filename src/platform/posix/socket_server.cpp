#include "platform/socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tarvelin::platform {

namespace {

int fd(SocketHandle socket) { return static_cast<int>(socket); }

}  // namespace

bool setReuseAddress(SocketHandle socket) {
    const int yes = 1;
    return ::setsockopt(fd(socket), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0;
}

bool listenSocket(SocketHandle socket, int backlog) { return ::listen(fd(socket), backlog) == 0; }

SocketHandle acceptConnection(SocketHandle listener) {
    const int connection = ::accept(fd(listener), nullptr, nullptr);
    return connection < 0 ? invalidSocket : connection;
}

bool joinMulticastGroup(SocketHandle socket, std::uint32_t group, std::uint32_t interfaceIpv4) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_interface.s_addr = htonl(interfaceIpv4);
    return ::setsockopt(fd(socket), IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0;
}

}  // namespace tarvelin::platform
