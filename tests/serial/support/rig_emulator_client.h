#pragma once
// Drives the rig controller emulator over its control connection, from a native test or from a
// Windows test under Wine alike.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/socket.h"

namespace tarvelin::test {

using Bytes = std::vector<std::uint8_t>;

struct BoardCounts {
    std::size_t goodFrames = 0;
    std::size_t badFrames = 0;
    std::size_t strayBytes = 0;
    std::size_t identificationRequests = 0;
    std::size_t uncheckedFrames = 0;  // good frames that ended in 0A 0D instead of their CRC
    std::size_t datagrams = 0;        // datagrams a board on the network received
};

struct BoardFrame {
    Bytes bytes;              // empty: no good frame yet
    std::size_t number = 0;   // how many good frames had come with this one
    double milliseconds = 0;  // when its last byte came, since the board was attached
};

struct BoardLine {
    std::uint32_t baud = 0;
    int dataBits = 0;
    char parity = '?';
    int stopBits = 0;
};

class RigEmulatorClient {
public:
    RigEmulatorClient() = default;
    ~RigEmulatorClient();
    RigEmulatorClient(const RigEmulatorClient&) = delete;
    RigEmulatorClient& operator=(const RigEmulatorClient&) = delete;

    // Connects to the emulator's control port on `host` (host byte order).
    bool connect(std::uint16_t port, std::uint32_t host = platform::loopbackIpv4);
    // One command line; the reply line without "ok " (fails the test on an error reply).
    std::string command(const std::string& line);

    std::string attach(const std::string& board);
    // A board on the network: joins `group` on the interface holding `interfaceAddress` (dotted
    // forms) at `port`, and answers to `answerPort` of whoever sends to it.
    void network(const std::string& board, const std::string& interfaceAddress, const std::string& group,
                 std::uint16_t port, std::uint16_t answerPort);
    // The frame a board on the network sends every `intervalMs` once it has heard a sender
    // (empty: none).
    void status(const std::string& board, const Bytes& frame, int intervalMs);
    void detach(const std::string& board);
    void reply(const std::string& board, const Bytes& bytes, bool firstOfBurstOnly = false);
    void silence(const std::string& board);
    void send(const std::string& board, const Bytes& bytes);
    BoardCounts counts(const std::string& board);
    std::vector<Bytes> frames(const std::string& board);
    std::vector<Bytes> messages(const std::string& board);
    // The bytes the board received and, for each, the milliseconds since it was attached.
    Bytes received(const std::string& board, std::vector<double>* times = nullptr);
    // The newest good frame the board received.
    BoardFrame lastFrame(const std::string& board);
    BoardLine line(const std::string& board);
    void clear(const std::string& board);

private:
    platform::SocketHandle socket_ = platform::invalidSocket;
    std::string pending_;
};

std::string toHex(const Bytes& bytes);
Bytes fromHex(const std::string& text);

}  // namespace tarvelin::test
