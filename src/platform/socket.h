#pragma once
// IPv4 sockets: what each platform must provide. Windows: Winsock 2.2; POSIX: BSD sockets.
//
// The contract is the thin set of calls the engine makes, with Winsock's shape: a start-up
// reference per user (WSAStartup/WSACleanup; nothing to do on POSIX), handles that may be
// invalid, and error numbers as the platform reports them (WSAGetLastError or errno). The few
// numbers the engine compares against are named below for each platform.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace tarvelin::platform {

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle invalidSocket = -1;

struct SocketAddress {
    std::uint32_t ipv4 = 0;  // host byte order; 0 is "any"
    std::uint16_t port = 0;  // host byte order
};

inline constexpr std::uint32_t loopbackIpv4 = 0x7F000001u;

// Platform error numbers the engine tests for.
extern const int socketErrorAddressInUse;    // WSAEADDRINUSE / EADDRINUSE
extern const int socketErrorMessageTooLong;  // WSAEMSGSIZE (POSIX reports truncation instead)

// WSAStartup(2.2): 0 on success, else the error code. Each success needs one socketCleanup.
int socketStartup();
void socketCleanup();

// The calling thread's last socket error.
int lastSocketError();

SocketHandle openUdpSocket();
SocketHandle openTcpSocket();
// closesocket/close: 0 on success.
int closeSocket(SocketHandle socket);

bool setNonBlocking(SocketHandle socket);
bool bindSocket(SocketHandle socket, SocketAddress local);
bool connectSocket(SocketHandle socket, SocketAddress remote);
// The local port a bound socket holds (getsockname), or 0.
std::uint16_t localPort(SocketHandle socket);

// Waits until the socket is readable: 1 readable, 0 timed out, -1 failed (select).
int waitReadable(SocketHandle socket, std::chrono::microseconds timeout);

// recvfrom: the datagram's length, or -1 with lastSocketError() set. A datagram longer than
// `capacity` is an error on every platform (Winsock's WSAEMSGSIZE; POSIX reports it the same
// way here, after discarding the datagram), never a silently shortened one.
long receiveFrom(SocketHandle socket, void* buffer, std::size_t capacity, SocketAddress* from);
long sendTo(SocketHandle socket, const void* data, std::size_t length, SocketAddress to);
long receive(SocketHandle socket, void* buffer, std::size_t capacity);
long send(SocketHandle socket, const void* data, std::size_t length);

// IP_MULTICAST_IF: multicast from this socket leaves through the interface holding the local
// address `interfaceIpv4` (host byte order), whatever the routing table says. True on success.
bool setMulticastInterface(SocketHandle socket, std::uint32_t interfaceIpv4);

// The server side of TCP, for tests and tools that play a game's telemetry server. The engine
// only connects, so these live in tarvelin_platform_loader and not in the library.
//
// SO_REUSEADDR, set before binding, lets a server take a fixed port that a connection of an
// earlier run still holds in TIME_WAIT. On Windows it even lets a second socket bind a port in
// active use, which is why only such stand-in servers set it. True on success.
bool setReuseAddress(SocketHandle socket);
// listen: true on success.
bool listenSocket(SocketHandle socket, int backlog);
// accept: the new connection's socket, or invalidSocket.
SocketHandle acceptConnection(SocketHandle listener);
// IP_ADD_MEMBERSHIP: the socket receives the datagrams sent to `group` that arrive on the
// interface holding `interfaceIpv4` (0: the one the routing table names). True on success.
bool joinMulticastGroup(SocketHandle socket, std::uint32_t group, std::uint32_t interfaceIpv4);

}  // namespace tarvelin::platform
