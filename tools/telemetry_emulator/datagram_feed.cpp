#include "datagram_feed.h"

namespace tarvelin::emulator {

DatagramFeed::DatagramFeed(std::uint16_t port, DatagramEncoder encode) : port_(port), encode_(encode) {
    if (platform::socketStartup() != 0) return;
    socket_ = platform::openUdpSocket();
    if (socket_ == platform::invalidSocket) platform::socketCleanup();
}

DatagramFeed::~DatagramFeed() {
    if (socket_ == platform::invalidSocket) return;
    platform::closeSocket(socket_);
    platform::socketCleanup();
}

bool DatagramFeed::publish(const VehicleMotion& motion, GameStatus status) {
    if (socket_ == platform::invalidSocket) return false;
    if (status != GameStatus::live) return true;
    const auto datagram = encode_(motion);
    const long sent =
        platform::sendTo(socket_, datagram.data(), datagram.size(), platform::SocketAddress{platform::loopbackIpv4, port_});
    return sent == static_cast<long>(datagram.size());
}

std::string DatagramFeed::destination() const { return "127.0.0.1:" + std::to_string(port_); }

}  // namespace tarvelin::emulator
