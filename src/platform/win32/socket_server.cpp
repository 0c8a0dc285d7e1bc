#include "platform/socket.h"

#include <winsock2.h>

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

}  // namespace tarvelin::platform
