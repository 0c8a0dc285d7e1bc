#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace tarvelin::platform {

namespace {

SOCKET native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

}  // namespace

bool setReuseAddress(SocketHandle socket) {
    const BOOL yes = TRUE;
    return ::setsockopt(native(socket), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes),
                        sizeof yes) == 0;
}

bool listenSocket(SocketHandle socket, int backlog) { return ::listen(native(socket), backlog) == 0; }

SocketHandle acceptConnection(SocketHandle listener) {
    const SOCKET connection = ::accept(native(listener), nullptr, nullptr);
    return connection == INVALID_SOCKET ? invalidSocket : static_cast<SocketHandle>(connection);
}

bool joinMulticastGroup(SocketHandle socket, std::uint32_t group, std::uint32_t interfaceIpv4) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_interface.s_addr = htonl(interfaceIpv4);
    return ::setsockopt(native(socket), IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&request),
                        sizeof request) == 0;
}

}  // namespace tarvelin::platform
