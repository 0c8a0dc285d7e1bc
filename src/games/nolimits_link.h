#pragma once
// NoLimits 2: the ride simulator runs a telemetry server on 127.0.0.1 port 15151 that answers
// requests over TCP (the messages are in nolimits_messages.h). This is the engine's side of the
// connection: the probe that detection runs, the connection the reader keeps, and the request
// and receipt of one cycle.
//
// Failures are reported on standard error in perror's form, "what failed: why".

#include <cstdint>

#include "games/nolimits_messages.h"
#include "games/reader_state.h"
#include "platform/socket.h"

namespace tarvelin {

// Detection: connects, sends an idle message (type 0, request 1234) and reports 1 when the
// server answers within 500 ms, else 0. Leaves nothing open.
int probeNoLimitsServer();

struct NoLimitsState : ReaderState {
    platform::SocketHandle socket = platform::invalidSocket;
    bool connected = false;
    NoLimitsStream stream;  // what the server sent on this connection and was not taken yet
    bool requestedAhead = false;  // a request went out ahead of the next read

    // Connects a non-blocking socket to the server and keeps it: 1, or 0 with nothing held.
    int connect();
    // Closes the socket, when one is held.
    void disconnect();

    // Sends one telemetry request (type 5, request 3243). A failed send is reported once per
    // connection: a server that went away would otherwise fill standard error 500 times a second,
    // from the thread that must never wait.
    void requestTelemetry();
    // The low-latency cycle asks ahead: it sends the request, waits on the socket for the answer
    // and only then reads, so that the frame it takes is as new as the server has. The read that
    // follows sends no request of its own. At most one request is sent ahead at a time.
    void requestAhead();
    // Takes what the server has sent into `stream`, without waiting: the number of bytes taken,
    // 0 when nothing waits, or -1 when the connection failed or the server closed it.
    long receiveAvailable();

private:
    bool sendFailureReported_ = false;
};

}  // namespace tarvelin
