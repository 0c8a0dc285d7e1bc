#include "games/nolimits_link.h"

#include <chrono>
#include <cstdio>
#include <span>
#include <string>

#include "platform/system_error.h"

namespace tarvelin {

namespace {

constexpr std::uint32_t probeRequestId = 1234;
constexpr std::uint32_t telemetryRequestId = 3243;
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
    const auto request = noLimitsRequest(noLimitsIdle, probeRequestId);
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
    requestedAhead = false;
    stream.clear();
    sendFailureReported_ = false;
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

void NoLimitsState::requestTelemetry() {
    const auto request = noLimitsRequest(noLimitsTelemetryRequest, telemetryRequestId);
    if (platform::send(socket, request.data(), request.size()) == static_cast<long>(request.size())) return;
    if (sendFailureReported_) return;
    sendFailureReported_ = true;
    reportFailure("Error sending data");
}

void NoLimitsState::requestAhead() {
    if (requestedAhead) return;
    requestTelemetry();
    requestedAhead = true;
}

long NoLimitsState::receiveAvailable() {
    // A pure poll: the cycle takes what has arrived and never waits for the server.
    if (platform::waitReadable(socket, std::chrono::microseconds(0)) != 1) return 0;
    const std::span<std::uint8_t> space = stream.freeSpace();
    const long received = platform::receive(socket, space.data(), space.size());
    // Readable but nothing to read: the server closed the connection.
    if (received < 1) return -1;
    stream.received(static_cast<std::size_t>(received));
    return received;
}

}  // namespace tarvelin
