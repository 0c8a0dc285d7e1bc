#include "net/udp_endpoint.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace tarvelin {

namespace {

std::wstring numbered(const char* text, long number) { return widen(text + std::to_string(number)); }

}  // namespace

UdpEndpoint::UdpEndpoint() { log_.logInfo(L"UDP: class init"); }

UdpEndpoint::~UdpEndpoint() = default;

int UdpEndpoint::open(int port) {
    log_.logInfo(numbered("Opening port: ", port));
    winsockResult = platform::socketStartup();
    if (winsockResult != 0) {
        log_.logError(numbered("WSAStartup failed with error: ", winsockResult));
        return 0;
    }
    socket_ = platform::openUdpSocket();
    if (socket_ == platform::invalidSocket) {
        log_.logError(numbered("Socket creation failed with error: ", platform::lastSocketError()));
        platform::socketCleanup();
        return 0;
    }
    if (!platform::setNonBlocking(socket_)) {
        log_.logError(numbered("Setting non-blocking mode failed with error: ", platform::lastSocketError()));
        platform::closeSocket(socket_);
        socket_ = platform::invalidSocket;
        platform::socketCleanup();
        return 0;
    }
    address = platform::SocketAddress{0, static_cast<std::uint16_t>(port)};
    if (!platform::bindSocket(socket_, address)) {
        log_.logError(numbered("Binding socket failed with error: ", platform::lastSocketError()));
        platform::closeSocket(socket_);
        socket_ = platform::invalidSocket;
        platform::socketCleanup();
        return 0;
    }
    log_.logInfo(widen("Port " + std::to_string(port) + " opened successfully."));
    return 1;
}

int UdpEndpoint::close() {
    // Closing an endpoint that is not open must not close a handle number that now belongs to
    // someone else, nor release a socket start-up it does not hold.
    if (socket_ != platform::invalidSocket) {
        platform::closeSocket(socket_);
        socket_ = platform::invalidSocket;
        platform::socketCleanup();
    }
    log_.logInfo(L"UDP:Port closed.");
    return 0;
}

std::vector<std::uint8_t> UdpEndpoint::receive() {
    if (socket_ == platform::invalidSocket) return {};
    if (platform::waitReadable(socket_, std::chrono::microseconds(1)) != 1) return {};
    std::vector<std::uint8_t> datagram(bufferSize);
    const long length = platform::receiveFrom(socket_, datagram.data(), datagram.size(), &address);
    if (length <= 0) return {};
    datagram.resize(static_cast<std::size_t>(length));
    return datagram;
}

long UdpEndpoint::receiveIntoBuffer() {
    if (socket_ == platform::invalidSocket) return -1;
    return platform::receiveFrom(socket_, receiveBuffer.data(), receiveBuffer.size(), &address);
}

int UdpEndpoint::probeUdpPort(int port) {
    probeResult = 0;
    winsockResult = platform::socketStartup();
    if (winsockResult != 0) {
        std::printf("WSAStartup failed with error: %d\n", winsockResult);
        return 0;
    }
    const platform::SocketHandle probe = platform::openUdpSocket();
    if (probe == platform::invalidSocket) {
        std::printf("socket failed with error: %ld\n", static_cast<long>(platform::lastSocketError()));
        platform::socketCleanup();
        return 0;
    }
    if (!platform::setNonBlocking(probe)) {
        std::printf("ioctl Socket failed with error: %ld\n", static_cast<long>(platform::lastSocketError()));
    } else if (!platform::bindSocket(probe, platform::SocketAddress{0, static_cast<std::uint16_t>(port)})) {
        std::printf("bind socket failed with error: %ld\n", static_cast<long>(platform::lastSocketError()));
    } else if (platform::waitReadable(probe, std::chrono::microseconds(20000)) == 1) {
        // A datagram is waiting: that is the answer, whatever the receive itself makes of it.
        const long length = platform::receiveFrom(probe, receiveBuffer.data(), probeReceiveSize, &address);
        if (length < 0) std::printf("Recv failed: %ld\n", static_cast<long>(platform::lastSocketError()));
        probeResult = 1;
    }
    if (platform::closeSocket(probe) != 0) {
        winsockResult = platform::lastSocketError();
        std::printf("Closesocket failed with error: %d\n", winsockResult);
    }
    platform::socketCleanup();
    return probeResult;
}

}  // namespace tarvelin
