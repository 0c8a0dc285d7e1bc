#pragma once
// The game's side of the detection tests: a stream of datagrams to a game's port. (Processes
// under a game's executable name and the games' own channels come from the telemetry emulator.)

#include <atomic>
#include <cstdint>
#include <thread>


namespace tarvelin::test {

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
