// A board of a separate rig controller emulator program, driven over its loopback control
// connection: one command line, one reply line ("ok ..." or "error ...").

#include <chrono>
#include <cstdio>
#include <sstream>

#include "host_console/rig_peer.h"
#include "platform/socket.h"

namespace tarvelin::console {

namespace {

constexpr auto replyTimeout = std::chrono::seconds(5);

class ExternalRig : public RigPeer {
public:
    ExternalRig(std::string port, std::string board) : port_(std::move(port)), board_(std::move(board)) {}

    ~ExternalRig() override {
        if (socket_ != platform::invalidSocket) platform::closeSocket(socket_);
        if (started_) platform::socketCleanup();
    }

    bool connect(std::uint16_t controlPort, std::string& error) {
        started_ = platform::socketStartup() == 0;
        if (!started_) {
            error = "cannot start the socket layer";
            return false;
        }
        socket_ = platform::openTcpSocket();
        if (socket_ == platform::invalidSocket ||
            !platform::connectSocket(socket_, platform::SocketAddress{platform::loopbackIpv4, controlPort})) {
            error = "no rig controller emulator answers on 127.0.0.1:" + std::to_string(controlPort);
            return false;
        }
        std::string reply;
        if (!command("reply " + board_ + " " + identificationReplyHex, reply)) {
            error = "the rig controller emulator refused board " + board_ + ": " + reply;
            return false;
        }
        return true;
    }

    const std::string& port() const override { return port_; }

    std::optional<RigCounts> counts() override {
        std::string reply;
        if (!command("counts " + board_, reply)) return std::nullopt;
        std::istringstream words(reply);
        unsigned long long good = 0, bad = 0, stray = 0, requests = 0;
        if (!(words >> good >> bad >> stray >> requests)) return std::nullopt;
        return RigCounts{good - requests, bad};
    }

private:
    // Sends `line` and reads its reply; true for "ok", with `reply` holding what follows it
    // (or the error text).
    bool command(const std::string& line, std::string& reply) {
        const std::string request = line + "\n";
        std::size_t sent = 0;
        while (sent < request.size()) {
            const long count = platform::send(socket_, request.data() + sent, request.size() - sent);
            if (count <= 0) {
                reply = "connection lost";
                return false;
            }
            sent += static_cast<std::size_t>(count);
        }
        char buffer[4096];
        for (auto end = pending_.find('\n'); end == std::string::npos; end = pending_.find('\n')) {
            if (platform::waitReadable(socket_, replyTimeout) != 1) {
                reply = "no reply";
                return false;
            }
            const long count = platform::receive(socket_, buffer, sizeof buffer);
            if (count <= 0) {
                reply = "connection lost";
                return false;
            }
            pending_.append(buffer, static_cast<std::size_t>(count));
        }
        const auto end = pending_.find('\n');
        std::string text = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text == "ok" || text.rfind("ok ", 0) == 0) {
            reply = text.size() > 3 ? text.substr(3) : "";
            return true;
        }
        reply = text;
        return false;
    }

    std::string port_;
    std::string board_;
    bool started_ = false;
    platform::SocketHandle socket_ = platform::invalidSocket;
    std::string pending_;
};

}  // namespace

std::unique_ptr<RigPeer> connectExternalRig(const std::string& port, std::uint16_t controlPort, const std::string& board,
                                            std::string& error) {
    auto rig = std::make_unique<ExternalRig>(port, board);
    if (!rig->connect(controlPort, error)) return nullptr;
    return rig;
}

}  // namespace tarvelin::console
