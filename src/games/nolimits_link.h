#pragma once
// NoLimits 2: the ride simulator runs a telemetry server on 127.0.0.1 port 15151 that answers
// requests over TCP. Messages are framed as 'N', 16-bit type, 32-bit request id, 16-bit data
// size, the data, 'L' (numbers big-endian).
//
// Failures are reported on standard error in perror's form, "what failed: why".

#include <array>
#include <cstdint>

#include "games/reader_state.h"
#include "platform/socket.h"

namespace tarvelin {

inline constexpr std::uint16_t noLimitsPort = 15151;

// A message without data: 'N', type, request id, size 0, 'L'.
std::array<std::uint8_t, 10> noLimitsRequest(std::uint16_t type, std::uint32_t requestId);

// Detection: connects, sends an idle message (type 0, request 1234) and reports 1 when the
// server answers within 500 ms, else 0. Leaves nothing open.
int probeNoLimitsServer();

struct NoLimitsState : ReaderState {
    platform::SocketHandle socket = platform::invalidSocket;
    bool connected = false;

    // Connects a non-blocking socket to the server and keeps it: 1, or 0 with nothing held.
    int connect();
    // Closes the socket, when one is held.
    void disconnect();
};

}  // namespace tarvelin
