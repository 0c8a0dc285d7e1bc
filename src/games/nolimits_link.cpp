#include "games/nolimits_link.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/system_error.h"

namespace tarvelin {

namespace {

constexpr std::uint16_t idleMessage = 0;
constexpr std::uint32_t probeRequestId = 1234;
constexpr auto probeAnswerTime = std::chrono::microseconds(500000);

constexpr platform::SocketAddress server{platform::loopbackIpv4, noLimitsPort};

// perror's form, "text: reason". The reason comes from the socket layer's own error number:
// Winsock does not set errno, so perror itself would name a reason that has nothing to do
// with the failure.
void reportFailure(const char* text, int code = platform::lastSocketError()) {
    std::wstring reason;
    if (!platform::describeSystemError(static_cast<std::uint32_t>(code), reason)) {
        reason = L"error " + std::to_wstring(code);
    }
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
    std::fprintf(stderr, "%s: %ls\n", text, reason.c_str());
}

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
    if (const int startup = platform::socketStartup(); startup != 0) {
        reportFailure("Error initializing Winsock", startup);
        return 0;
    }
    const platform::SocketHandle socket = platform::openTcpSocket();
    if (socket == platform::invalidSocket) {
        reportFailure("Error creating socket");
        platform::socketCleanup();
        return 0;
    }
    if (!platform::connectSocket(socket, server)) {
        reportFailure("Error connecting to server");
        closeAndRelease(socket);
        return 0;
    }
    if (!platform::setNonBlocking(socket)) {
        reportFailure("Error setting socket as non-blocking");
        closeAndRelease(socket);
        return 0;
    }
    const auto request = noLimitsRequest(idleMessage, probeRequestId);
    // Without the request the server will not answer, but the wait below says so soon enough.
    if (platform::send(socket, request.data(), request.size()) != static_cast<long>(request.size())) {
        reportFailure("Error sending data");
    }
    const int readable = platform::waitReadable(socket, probeAnswerTime);
    if (readable < 0) reportFailure("Error in select");
    closeAndRelease(socket);
    return readable == 1 ? 1 : 0;
}

int NoLimitsState::connect() {
    disconnect();
    if (const int startup = platform::socketStartup(); startup != 0) {
        reportFailure("Error initializing Winsock", startup);
        return 0;
    }
    const platform::SocketHandle opened = platform::openTcpSocket();
    if (opened == platform::invalidSocket) {
        reportFailure("Error creating socket");
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
