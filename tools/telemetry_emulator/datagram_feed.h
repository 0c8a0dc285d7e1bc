#pragma once
// The channel of a game that streams UDP datagrams to a port on this machine.

#include <cstdint>
#include <memory>
#include <vector>

#include "game_feed.h"
#include "platform/socket.h"

namespace tarvelin::emulator {

using DatagramEncoder = std::vector<std::uint8_t> (*)(const VehicleMotion& motion);

class DatagramFeed : public GameFeed {
public:
    // Sends to 127.0.0.1:port what `encode` makes of each moment.
    DatagramFeed(std::uint16_t port, DatagramEncoder encode);
    ~DatagramFeed() override;
    DatagramFeed(const DatagramFeed&) = delete;
    DatagramFeed& operator=(const DatagramFeed&) = delete;

    bool ready() const override { return socket_ != platform::invalidSocket; }
    // Games that stream send nothing while they are not live; nothing sent is then no failure.
    bool publish(const VehicleMotion& motion, GameStatus status) override;
    std::string destination() const override;

private:
    std::uint16_t port_;
    DatagramEncoder encode_;
    platform::SocketHandle socket_ = platform::invalidSocket;
};

// The openFeed of an encoder whose game streams what `Encode` makes.
template <DatagramEncoder Encode>
std::unique_ptr<GameFeed> openDatagramFeed(std::uint16_t port) {
    return std::make_unique<DatagramFeed>(port, Encode);
}

}  // namespace tarvelin::emulator
