#pragma once
// One non-blocking IPv4 UDP socket bound to a local port. The UDP game readers hold one per
// game and the rig link's listener holds one for the controller's replies. Nothing here waits
// longer than the 20 ms of the detection probe. An endpoint belongs to one thread at a time.

#include <array>
#include <cstdint>
#include <vector>

#include "log/error_log.h"
#include "platform/socket.h"

namespace tarvelin {

class UdpEndpoint {
public:
    static constexpr std::size_t bufferSize = 8192;
    // The probe reads at most this much of the datagram it waits for; the rest is discarded.
    static constexpr std::size_t probeReceiveSize = 5045;

    UdpEndpoint();
    ~UdpEndpoint();
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    // Binds a non-blocking socket to `port` on every local address: 1 on success, 0 on failure
    // (logged with the platform's error number). No socket option is set, so a port another
    // program holds fails.
    int open(int port);

    // Closes the socket and releases the socket start-up of open. Always 0.
    int close();

    // Polls for one datagram: its bytes, or an empty array when none is waiting, on any error,
    // and for a datagram longer than 8192 bytes.
    std::vector<std::uint8_t> receive();

    // Receives one datagram into receiveBuffer without waiting (the game readers' path): its
    // length, or a value below 1 when there is none. `address` becomes the sender's.
    long receiveIntoBuffer();

    // Detection probe: binds `port` for a moment and reports 1 when a datagram arrives within
    // 20 ms, else 0. Leaves no socket open. Failures are printed to standard output.
    int probeUdpPort(int port);

    platform::SocketHandle socket() const { return socket_; }

    std::int32_t probeResult = 0;
    std::array<std::uint8_t, bufferSize> receiveBuffer{};
    std::int32_t winsockResult = 0;
    platform::SocketAddress address{};

private:
    platform::SocketHandle socket_ = platform::invalidSocket;
    ErrorLog log_;
};

}  // namespace tarvelin
