#include "serial/support/rig_emulator_client.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarvelin::test {

RigEmulatorClient::~RigEmulatorClient() {
    if (socket_ != platform::invalidSocket) {
        platform::closeSocket(socket_);
        platform::socketCleanup();
    }
}

bool RigEmulatorClient::connect(std::uint16_t port, std::uint32_t host) {
    if (platform::socketStartup() != 0) return false;
    socket_ = platform::openTcpSocket();
    return socket_ != platform::invalidSocket && platform::connectSocket(socket_, platform::SocketAddress{host, port});
}

std::string RigEmulatorClient::command(const std::string& line) {
    const std::string request = line + "\n";
    std::size_t sent = 0;
    while (sent < request.size()) {
        const long count = platform::send(socket_, request.data() + sent, request.size() - sent);
        if (count <= 0) {
            ADD_FAILURE() << "emulator connection lost sending " << line;
            return {};
        }
        sent += static_cast<std::size_t>(count);
    }
    char buffer[65536];
    for (auto end = pending_.find('\n'); end == std::string::npos; end = pending_.find('\n')) {
        const long count = platform::receive(socket_, buffer, sizeof buffer);
        if (count <= 0) {
            ADD_FAILURE() << "emulator connection lost after " << line;
            return {};
        }
        pending_.append(buffer, static_cast<std::size_t>(count));
    }
    const auto end = pending_.find('\n');
    std::string reply = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (reply == "ok") return {};
    if (reply.rfind("ok ", 0) == 0) return reply.substr(3);
    ADD_FAILURE() << "emulator refused '" << line << "': " << reply;
    return {};
}

std::string RigEmulatorClient::attach(const std::string& board) {
    return command("attach " + board);
}

void RigEmulatorClient::network(const std::string& board, const std::string& interfaceAddress, const std::string& group,
                                std::uint16_t port, std::uint16_t answerPort) {
    command("net " + board + " " + interfaceAddress + " " + group + " " + std::to_string(port) + " " +
            std::to_string(answerPort));
}

void RigEmulatorClient::status(const std::string& board, const Bytes& frame, int intervalMs) {
    command("status " + board + " " + (frame.empty() ? std::string("none") : toHex(frame)) + " " +
            std::to_string(intervalMs));
}

void RigEmulatorClient::detach(const std::string& board) {
    command("detach " + board);
}

void RigEmulatorClient::reply(const std::string& board, const Bytes& bytes, bool firstOfBurstOnly) {
    command("reply " + board + " " + toHex(bytes) + (firstOfBurstOnly ? " first" : ""));
}

void RigEmulatorClient::silence(const std::string& board) {
    command("reply " + board + " none");
}

void RigEmulatorClient::send(const std::string& board, const Bytes& bytes) {
    command("send " + board + " " + toHex(bytes));
}

BoardCounts RigEmulatorClient::counts(const std::string& board) {
    std::istringstream words(command("counts " + board));
    BoardCounts counts;
    words >> counts.goodFrames >> counts.badFrames >> counts.strayBytes >> counts.identificationRequests >>
        counts.uncheckedFrames >> counts.datagrams;
    return counts;
}

namespace {
std::vector<Bytes> hexWords(const std::string& text) {
    std::istringstream words(text);
    std::vector<Bytes> list;
    for (std::string word; words >> word;) list.push_back(fromHex(word));
    return list;
}
}  // namespace

std::vector<Bytes> RigEmulatorClient::frames(const std::string& board) {
    return hexWords(command("frames " + board));
}

std::vector<Bytes> RigEmulatorClient::messages(const std::string& board) {
    return hexWords(command("messages " + board));
}

Bytes RigEmulatorClient::received(const std::string& board, std::vector<double>* times) {
    std::istringstream words(command("bytes " + board));
    std::string hex;
    std::string list;
    words >> hex >> list;
    if (hex == "-") return {};
    if (times != nullptr) {
        times->clear();
        std::istringstream values(list);
        for (std::string value; std::getline(values, value, ',');) times->push_back(std::stod(value));
    }
    return fromHex(hex);
}

BoardFrame RigEmulatorClient::lastFrame(const std::string& board) {
    std::istringstream words(command("last " + board));
    std::string hex;
    BoardFrame frame;
    words >> hex >> frame.number >> frame.milliseconds;
    if (hex != "-") frame.bytes = fromHex(hex);
    return frame;
}

BoardLine RigEmulatorClient::line(const std::string& board) {
    std::istringstream words(command("line " + board));
    BoardLine line;
    words >> line.baud >> line.dataBits >> line.parity >> line.stopBits;
    return line;
}

void RigEmulatorClient::clear(const std::string& board) {
    command("clear " + board);
}

std::string toHex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

Bytes fromHex(const std::string& text) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

}  // namespace tarvelin::test
