#include "control_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <sstream>

namespace rig_emulator {

namespace {

std::string hexList(const std::vector<Bytes>& frames) {
    std::string reply = "ok";
    for (const auto& frame : frames) {
        reply += ' ';
        reply += toHex(frame);
    }
    return reply;
}

std::string countsReply(const Counts& counts) {
    std::ostringstream reply;
    reply << "ok " << counts.goodFrames << ' ' << counts.badFrames << ' ' << counts.strayBytes << ' '
          << counts.identificationRequests << ' ' << counts.uncheckedFrames << ' ' << counts.datagrams;
    return reply.str();
}

std::string lastReply(const ReceivedFrame& frame) {
    std::ostringstream reply;
    reply.precision(17);
    reply << "ok " << (frame.bytes.empty() ? "-" : toHex(frame.bytes)) << ' ' << frame.number << ' ' << frame.milliseconds;
    return reply.str();
}

// "a.b.c.d" to an address in host byte order.
bool parseAddress(const std::string& text, std::uint32_t& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
    address = ntohl(parsed.s_addr);
    return true;
}

}  // namespace

ControlServer::ControlServer(std::filesystem::path linkFolder) : folder_(std::move(linkFolder)) {
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
}

ControlServer::~ControlServer() {
    stop();
    if (listener_ >= 0) ::close(listener_);
    std::lock_guard lock(devicesMutex_);
    devices_.clear();
}

std::uint16_t ControlServer::listen(std::uint16_t port, std::uint32_t listenAddress) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return 0;
    int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(listenAddress);
    address.sin_port = htons(port);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 4) != 0) {
        return 0;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

void ControlServer::serve() {
    while (!stop_.load()) {
        pollfd descriptor{listener_, POLLIN, 0};
        if (::poll(&descriptor, 1, 100) <= 0) continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        serveClient(client);
        ::close(client);
    }
}

void ControlServer::serveClient(int client) {
    std::string pending;
    char buffer[4096];
    while (!stop_.load()) {
        pollfd descriptor{client, POLLIN, 0};
        if (::poll(&descriptor, 1, 100) <= 0) continue;
        const ssize_t count = ::recv(client, buffer, sizeof buffer, 0);
        if (count <= 0) return;
        pending.append(buffer, static_cast<std::size_t>(count));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::string reply = execute(line) + "\n";
            std::size_t sent = 0;
            while (sent < reply.size()) {
                const ssize_t n = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) return;
                sent += static_cast<std::size_t>(n);
            }
            if (line == "quit") {
                stop_.store(true);
                return;
            }
        }
    }
}

void ControlServer::start() {
    thread_ = std::thread(&ControlServer::serve, this);
}

void ControlServer::stop() {
    stop_.store(true);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

RigDevice& ControlServer::device(const std::string& name) {
    std::lock_guard lock(devicesMutex_);
    auto& slot = devices_[name];
    if (!slot) slot = std::make_unique<RigDevice>(folder_ / name);
    return *slot;
}

std::string ControlServer::execute(const std::string& line) {
    std::istringstream words(line);
    std::string command;
    std::string name;
    words >> command >> name;
    if (command == "quit") return "ok";
    if (name.empty() || name.find('/') != std::string::npos || name.starts_with(".")) return "error bad device name";
    if (command == "net") {
        std::string interfaceText, groupText;
        unsigned port = 0, answerPort = 0;
        NetworkSetup setup;
        words >> interfaceText >> groupText >> port >> answerPort;
        if (!parseAddress(interfaceText, setup.interfaceAddress) || !parseAddress(groupText, setup.group) || port == 0 ||
            port > 65535 || answerPort == 0 || answerPort > 65535) {
            return "error usage: net NAME IFADDR GROUP PORT ANSWERPORT";
        }
        setup.port = static_cast<std::uint16_t>(port);
        setup.answerPort = static_cast<std::uint16_t>(answerPort);
        auto board = std::make_unique<NetworkBoard>();
        std::string error;
        if (!board->open(setup, error)) return "error " + error;
        std::lock_guard lock(devicesMutex_);
        networkBoards_[name] = std::move(board);
        return "ok";
    }
    if (NetworkBoard* network = networkBoard(name)) return executeNetwork(command, *network, words);
    RigDevice& board = device(name);

    if (command == "attach") return board.attach() ? "ok " + board.slavePath() : "error no terminal";
    if (command == "detach") {
        board.detach();
        return "ok";
    }
    if (command == "reply") {
        std::string hex;
        std::string mode;
        words >> hex >> mode;
        if (hex == "none") {
            board.setReply({}, false);
            return "ok";
        }
        const auto bytes = fromHex(hex);
        if (!bytes) return "error bad hex";
        board.setReply(*bytes, mode == "first");
        return "ok";
    }
    if (command == "send") {
        std::string hex;
        words >> hex;
        const auto bytes = fromHex(hex);
        if (!bytes) return "error bad hex";
        return board.send(*bytes) ? "ok" : "error not attached";
    }
    if (command == "counts") return countsReply(board.counts());
    if (command == "frames") return hexList(board.frames());
    if (command == "messages") return hexList(board.messages());
    if (command == "bytes") {
        const auto received = board.bytes();
        Bytes values;
        std::ostringstream times;
        for (std::size_t i = 0; i < received.size(); ++i) {
            values.push_back(received[i].value);
            times << (i == 0 ? "" : ",") << received[i].milliseconds;
        }
        return received.empty() ? "ok - -" : "ok " + toHex(values) + " " + times.str();
    }
    if (command == "last") return lastReply(board.lastFrame());
    if (command == "line") {
        const LineInfo info = board.line();
        std::ostringstream reply;
        reply << "ok " << info.baud << ' ' << info.dataBits << ' ' << info.parity << ' ' << info.stopBits;
        return reply.str();
    }
    if (command == "clear") {
        board.clear();
        return "ok";
    }
    return "error unknown command";
}

NetworkBoard* ControlServer::networkBoard(const std::string& name) {
    std::lock_guard lock(devicesMutex_);
    const auto found = networkBoards_.find(name);
    return found == networkBoards_.end() ? nullptr : found->second.get();
}

std::string ControlServer::executeNetwork(const std::string& command, NetworkBoard& board, std::istringstream& words) {
    std::string hex;
    if (command == "detach") {
        board.close();
        return "ok";
    }
    if (command == "reply" || command == "status" || command == "send") {
        words >> hex;
        std::optional<Bytes> bytes = hex == "none" ? std::optional<Bytes>(Bytes{}) : fromHex(hex);
        if (!bytes) return "error bad hex";
        if (command == "send") return board.send(*bytes) ? "ok" : "error no sender heard yet";
        std::string mode;
        words >> mode;
        if (command == "reply") {
            board.setReply(*bytes, mode == "first");
            return "ok";
        }
        const long interval = std::strtol(mode.c_str(), nullptr, 10);
        if (!bytes->empty() && interval <= 0) return "error usage: status NAME HEX|none MS";
        board.setStatus(*bytes, std::chrono::milliseconds(interval));
        return "ok";
    }
    if (command == "counts") return countsReply(board.counts());
    if (command == "frames") return hexList(board.frames());
    if (command == "messages") return hexList(board.messages());
    if (command == "last") return lastReply(board.lastFrame());
    if (command == "clear") {
        board.clear();
        return "ok";
    }
    return "error not a command for a network board";
}

}  // namespace rig_emulator
