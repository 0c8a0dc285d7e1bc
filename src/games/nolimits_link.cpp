#include "games/nolimits_link.h"

#include <chrono>
#include <cstdio>

namespace tarvelin {

namespace {

constexpr std::uint16_t idleMessage = 0;
constexpr std::uint32_t probeRequestId = 1234;
constexpr auto probeAnswerTime = std::chrono::microseconds(500000);

constexpr platform::SocketAddress server{platform::loopbackIpv4, noLimitsPort};

void closeAndRelease(platform::SocketHandle socket) {
    platform::closeSocket(socket);
    platform::socketCleanup();
}

}  // namespace

std::array<std::uint8_t, 10> noLimitsRequest(std::uint16_t type, std::uint32_t requestId) {
    return {'N',
            static_cast<std::uint8_t>(type >> 8),
            static_cast<std::uint8_t>(type),
            static_cast<std::uint8_t>(requestId >> 24),
            static_cast<std::uint8_t>(requestId >> 16),
            static_cast<std::uint8_t>(requestId >> 8),
            static_cast<std::uint8_t>(requestId),
            0,
            0,
            'L'};
}

int probeNoLimitsServer() {
    if (platform::socketStartup() != 0) {
        std::perror("Error initializing Winsock");
        return 0;
    }
    const platform::SocketHandle socket = platform::openTcpSocket();
    if (socket == platform::invalidSocket) {
        std::perror("Error creating socket");
        platform::socketCleanup();
        return 0;
    }
    if (!platform::connectSocket(socket, server)) {
        std::perror("Error connecting to server");
        closeAndRelease(socket);
        return 0;
    }
    if (!platform::setNonBlocking(socket)) {
        std::perror("Error setting socket as non-blocking");
        closeAndRelease(socket);
        return 0;
    }
    const auto request = noLimitsRequest(idleMessage, probeRequestId);
    // Without the request the server will not answer, but the wait below says so soon enough.
    if (platform::send(socket, request.data(), request.size()) != static_cast<long>(request.size())) {
        std::perror("Error sending data");
    }
    const int readable = platform::waitReadable(socket, probeAnswerTime);
    if (readable < 0) std::perror("Error in select");
    closeAndRelease(socket);
    return readable == 1 ? 1 : 0;
}

int NoLimitsState::connect() {
    disconnect();
    if (platform::socketStartup() != 0) {
        std::perror("Error initializing Winsock");
        return 0;
    }
    const platform::SocketHandle opened = platform::openTcpSocket();
    if (opened == platform::invalidSocket) {
        std::perror("Error creating socket");
        platform::socketCleanup();
        return 0;
    }
    if (!platform::connectSocket(opened, server) || !platform::setNonBlocking(opened)) {
        closeAndRelease(opened);
        return 0;
    }
    socket = opened;
    connected = true;
    return 1;
}

void NoLimitsState::disconnect() {
    connected = false;
    // Each start-up reference belongs to a socket; releasing one that is not held could end
    // the socket layer under another user's feet.
    if (socket == platform::invalidSocket) return;
    closeAndRelease(socket);
    socket = platform::invalidSocket;
}

}  // namespace tarvelin
