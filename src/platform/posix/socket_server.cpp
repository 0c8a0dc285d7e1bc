#include "platform/socket.h"

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

}  // namespace tarvelin::platform
