#include "network_board.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rig_emulator {

namespace {

constexpr int pollMs = 5;
constexpr std::size_t largestDatagram = 65536;

}  // namespace

NetworkBoard::~NetworkBoard() {
    close();
}

bool NetworkBoard::open(const NetworkSetup& setup, std::string& error) {
    close();
    const int handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (handle < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    // Several boards (and a test's own listener) may share the group's port on one machine.
    const int yes = 1;
    ::setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(setup.port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    ip_mreq membership{};
    membership.imr_multiaddr.s_addr = htonl(setup.group);
    membership.imr_interface.s_addr = htonl(setup.interfaceAddress);
    if (::bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::setsockopt(handle, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
        error = std::string("cannot join the group: ") + std::strerror(errno);
        ::close(handle);
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        socket_ = handle;
        answerPort_ = setup.answerPort;
        sender_ = 0;
        status_.clear();
        statusInterval_ = {};
    }
    recorder_.restart(Clock::now());
    stop_.store(false);
    reader_ = std::thread(&NetworkBoard::run, this);
    return true;
}

void NetworkBoard::close() {
    stop_.store(true);
    if (reader_.joinable()) reader_.join();
    std::lock_guard lock(mutex_);
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
}

void NetworkBoard::setReply(Bytes reply, bool firstOfBurstOnly) {
    recorder_.setReply(std::move(reply), firstOfBurstOnly);
}

void NetworkBoard::setStatus(Bytes frame, std::chrono::milliseconds interval) {
    std::lock_guard lock(mutex_);
    status_ = std::move(frame);
    statusInterval_ = interval;
    nextStatus_ = Clock::now();
}

bool NetworkBoard::send(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (sender_ == 0 || socket_ < 0) return false;
    sendTo(sender_, bytes);
    return true;
}

std::uint32_t NetworkBoard::senderAddress() const {
    std::lock_guard lock(mutex_);
    return sender_;
}

// Called with the lock held.
void NetworkBoard::sendTo(std::uint32_t address, std::span<const std::uint8_t> bytes) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(answerPort_);
    destination.sin_addr.s_addr = htonl(address);
    ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
}

void NetworkBoard::run() {
    std::vector<std::uint8_t> buffer(largestDatagram);
    std::vector<Bytes> answers;
    const int handle = socket_;
    while (!stop_.load()) {
        pollfd descriptor{handle, POLLIN, 0};
        if (::poll(&descriptor, 1, pollMs) > 0) {
            sockaddr_in source{};
            socklen_t sourceLength = sizeof source;
            const ssize_t count = ::recvfrom(handle, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&source), &sourceLength);
            if (count >= 0) {
                answers.clear();
                recorder_.receive({buffer.data(), static_cast<std::size_t>(count)}, Clock::now(), answers);
                recorder_.endDatagram();
                std::lock_guard lock(mutex_);
                sender_ = ntohl(source.sin_addr.s_addr);
                for (const auto& answer : answers) sendTo(sender_, answer);
            }
        }
        std::lock_guard lock(mutex_);
        if (sender_ != 0 && !status_.empty() && Clock::now() >= nextStatus_) {
            sendTo(sender_, status_);
            nextStatus_ = Clock::now() + statusInterval_;
        }
    }
}

}  // namespace rig_emulator
