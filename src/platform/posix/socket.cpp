#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tarvelin::platform {

const int socketErrorAddressInUse = EADDRINUSE;
const int socketErrorMessageTooLong = EMSGSIZE;

namespace {

sockaddr_in toNative(SocketAddress address) {
    sockaddr_in native{};
    native.sin_family = AF_INET;
    native.sin_port = htons(address.port);
    native.sin_addr.s_addr = htonl(address.ipv4);
    return native;
}

int fd(SocketHandle socket) { return static_cast<int>(socket); }

}  // namespace

// POSIX sockets need no start-up; the calls exist so that portable code pairs them as on Windows.
int socketStartup() { return 0; }
void socketCleanup() {}

int lastSocketError() { return errno; }

SocketHandle openUdpSocket() {
    const int handle = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    return handle < 0 ? invalidSocket : handle;
}

SocketHandle openTcpSocket() {
    const int handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return handle < 0 ? invalidSocket : handle;
}

int closeSocket(SocketHandle socket) { return ::close(fd(socket)); }

bool setNonBlocking(SocketHandle socket) {
    const int flags = fcntl(fd(socket), F_GETFL, 0);
    return flags >= 0 && fcntl(fd(socket), F_SETFL, flags | O_NONBLOCK) == 0;
}

bool bindSocket(SocketHandle socket, SocketAddress local) {
    const sockaddr_in native = toNative(local);
    return ::bind(fd(socket), reinterpret_cast<const sockaddr*>(&native), sizeof native) == 0;
}

bool connectSocket(SocketHandle socket, SocketAddress remote) {
    const sockaddr_in native = toNative(remote);
    return ::connect(fd(socket), reinterpret_cast<const sockaddr*>(&native), sizeof native) == 0;
}

std::uint16_t localPort(SocketHandle socket) {
    sockaddr_in native{};
    socklen_t length = sizeof native;
    if (::getsockname(fd(socket), reinterpret_cast<sockaddr*>(&native), &length) != 0) return 0;
    return ntohs(native.sin_port);
}

int waitReadable(SocketHandle socket, std::chrono::microseconds timeout) {
    if (socket < 0 || socket >= FD_SETSIZE) return -1;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd(socket), &readable);
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(timeout.count() / 1000000);
    limit.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000000);
    const int result = ::select(fd(socket) + 1, &readable, nullptr, nullptr, &limit);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

long receiveFrom(SocketHandle socket, void* buffer, std::size_t capacity, SocketAddress* from) {
    sockaddr_in source{};
    socklen_t sourceLength = sizeof source;
    // MSG_TRUNC makes Linux report the datagram's full length, so that one longer than the
    // buffer fails as it does under Winsock instead of arriving cut short.
    const ssize_t length = ::recvfrom(fd(socket), buffer, capacity, MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&source), &sourceLength);
    if (length >= 0 && from != nullptr) {
        from->ipv4 = ntohl(source.sin_addr.s_addr);
        from->port = ntohs(source.sin_port);
    }
    if (length > static_cast<ssize_t>(capacity)) {
        errno = EMSGSIZE;
        return -1;
    }
    return static_cast<long>(length);
}

long sendTo(SocketHandle socket, const void* data, std::size_t length, SocketAddress to) {
    const sockaddr_in native = toNative(to);
    return static_cast<long>(::sendto(fd(socket), data, length, MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&native), sizeof native));
}

long receive(SocketHandle socket, void* buffer, std::size_t capacity) {
    return static_cast<long>(::recv(fd(socket), buffer, capacity, 0));
}

long send(SocketHandle socket, const void* data, std::size_t length) {
    return static_cast<long>(::send(fd(socket), data, length, MSG_NOSIGNAL));
}

bool setMulticastInterface(SocketHandle socket, std::uint32_t interfaceIpv4) {
    in_addr address{};
    address.s_addr = htonl(interfaceIpv4);
    return ::setsockopt(fd(socket), IPPROTO_IP, IP_MULTICAST_IF, &address, sizeof address) == 0;
}

}  // namespace tarvelin::platform
