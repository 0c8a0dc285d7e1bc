#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace tarvelin::platform {

const int socketErrorAddressInUse = WSAEADDRINUSE;
const int socketErrorMessageTooLong = WSAEMSGSIZE;

namespace {

sockaddr_in toNative(SocketAddress address) {
    sockaddr_in native{};
    native.sin_family = AF_INET;
    native.sin_port = htons(address.port);
    native.sin_addr.s_addr = htonl(address.ipv4);
    return native;
}

SOCKET native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

SocketHandle wrap(SOCKET socket) {
    return socket == INVALID_SOCKET ? invalidSocket : static_cast<SocketHandle>(socket);
}

int clampLength(std::size_t length) { return length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length); }

}  // namespace

int socketStartup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
}

void socketCleanup() { WSACleanup(); }

int lastSocketError() { return WSAGetLastError(); }

SocketHandle openUdpSocket() { return wrap(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)); }

SocketHandle openTcpSocket() { return wrap(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }

int closeSocket(SocketHandle socket) { return ::closesocket(native(socket)); }

bool setNonBlocking(SocketHandle socket) {
    u_long nonBlocking = 1;
    return ::ioctlsocket(native(socket), FIONBIO, &nonBlocking) == 0;
}

bool bindSocket(SocketHandle socket, SocketAddress local) {
    const sockaddr_in address = toNative(local);
    return ::bind(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool connectSocket(SocketHandle socket, SocketAddress remote) {
    const sockaddr_in address = toNative(remote);
    return ::connect(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

std::uint16_t localPort(SocketHandle socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

int waitReadable(SocketHandle socket, std::chrono::microseconds timeout) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(native(socket), &readable);
    timeval limit{};
    limit.tv_sec = static_cast<long>(timeout.count() / 1000000);
    limit.tv_usec = static_cast<long>(timeout.count() % 1000000);
    const int result = ::select(0, &readable, nullptr, nullptr, &limit);
    return result == SOCKET_ERROR ? -1 : (result > 0 ? 1 : 0);
}

long receiveFrom(SocketHandle socket, void* buffer, std::size_t capacity, SocketAddress* from) {
    sockaddr_in source{};
    int sourceLength = sizeof source;
    const int length = ::recvfrom(native(socket), static_cast<char*>(buffer), clampLength(capacity), 0,
                                  reinterpret_cast<sockaddr*>(&source), &sourceLength);
    if (length != SOCKET_ERROR && from != nullptr) {
        from->ipv4 = ntohl(source.sin_addr.s_addr);
        from->port = ntohs(source.sin_port);
    }
    return length;
}

long sendTo(SocketHandle socket, const void* data, std::size_t length, SocketAddress to) {
    const sockaddr_in address = toNative(to);
    return ::sendto(native(socket), static_cast<const char*>(data), clampLength(length), 0,
                    reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

long receive(SocketHandle socket, void* buffer, std::size_t capacity) {
    return ::recv(native(socket), static_cast<char*>(buffer), clampLength(capacity), 0);
}

long send(SocketHandle socket, const void* data, std::size_t length) {
    return ::send(native(socket), static_cast<const char*>(data), clampLength(length), 0);
}

bool setMulticastInterface(SocketHandle socket, std::uint32_t interfaceIpv4) {
    in_addr address{};
    address.s_addr = htonl(interfaceIpv4);
    return ::setsockopt(native(socket), IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&address),
                        sizeof address) == 0;
}

}  // namespace tarvelin::platform
