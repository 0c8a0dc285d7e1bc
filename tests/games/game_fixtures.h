#pragma once
// The game's side of the detection tests: a NoLimits 2 telemetry server and a stream of datagrams
// to a game's port. (Processes under a game's executable name come from the telemetry emulator.)

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/socket.h"

namespace tarvelin::test {

// A TCP server on 127.0.0.1:port that answers every request message with a message of type 1.
class TelemetryServer {
public:
    explicit TelemetryServer(std::uint16_t port);
    ~TelemetryServer();
    TelemetryServer(const TelemetryServer&) = delete;
    TelemetryServer& operator=(const TelemetryServer&) = delete;

    bool listening() const { return listener_ != platform::invalidSocket; }
    int requestsAnswered() const { return answered_.load(); }

private:
    void serve();

    platform::SocketHandle listener_ = platform::invalidSocket;
    std::atomic<bool> running_{true};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

// Sends a small datagram to 127.0.0.1:port every 2 ms until destroyed, as a game streaming
// telemetry does.
class DatagramStream {
public:
    explicit DatagramStream(std::uint16_t port);
    ~DatagramStream();
    DatagramStream(const DatagramStream&) = delete;
    DatagramStream& operator=(const DatagramStream&) = delete;

private:
    std::atomic<bool> running_{true};
    std::thread thread_;
};

}  // namespace tarvelin::test
