#include "game_fixtures.h"

#include <chrono>
#include <vector>

#include "support/loopback.h"

namespace tarvelin::test {

DatagramStream::DatagramStream(std::uint16_t port)
    : thread_([this, port] {
          UdpPeer peer;
          const std::vector<std::uint8_t> datagram{0x47, 0x41, 0x4D, 0x45};
          while (running_.load()) {
              peer.sendTo(port, datagram);
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
          }
      }) {}

DatagramStream::~DatagramStream() {
    running_.store(false);
    thread_.join();
}

}  // namespace tarvelin::test
