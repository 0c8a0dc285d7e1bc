#pragma once
// One emulated rig controller board on the network, as the rig link's UDP transport meets it.
//
// The board joins the multicast group on its interface and takes the datagrams sent there. It
// checks their frames as a board on a serial line does, except that any frame may end in the
// 0A 0D placeholder (UDP carries its own checksum) and that a frame never continues into the
// next datagram. It answers to the listening port of whoever sent them: the reply to an
// identification request, a status frame at a fixed interval once it has heard the sender, and
// any bytes it is told to send. POSIX sockets; all members are thread-safe.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "frame_recorder.h"
#include "wire.h"

namespace rig_emulator {

struct NetworkSetup {
    std::uint32_t interfaceAddress = 0;  // host byte order; 0: the interface the routes name
    std::uint32_t group = 0;
    std::uint16_t port = 0;        // the group's port
    std::uint16_t answerPort = 0;  // the sender's listening port
};

class NetworkBoard {
public:
    NetworkBoard() = default;
    ~NetworkBoard();
    NetworkBoard(const NetworkBoard&) = delete;
    NetworkBoard& operator=(const NetworkBoard&) = delete;

    // Joins the group and starts listening; false with `error` set when the socket cannot be
    // had. Counts, frames and the reply start afresh.
    bool open(const NetworkSetup& setup, std::string& error);
    void close();

    // The answer to each identification request (empty: none).
    void setReply(Bytes reply, bool firstOfBurstOnly);
    // The frame sent every `interval` once a sender has been heard (empty: none).
    void setStatus(Bytes frame, std::chrono::milliseconds interval);
    // One datagram to the last sender's listening port; false before anyone has been heard.
    bool send(std::span<const std::uint8_t> bytes);
    // The address the last datagram came from (0: none yet), host byte order.
    std::uint32_t senderAddress() const;

    Counts counts() const { return recorder_.counts(); }
    std::vector<Bytes> frames() const { return recorder_.frames(); }
    std::vector<Bytes> messages() const { return recorder_.messages(); }
    ReceivedFrame lastFrame() const { return recorder_.lastFrame(); }
    void clear() { recorder_.clear(); }
    void keepFrames(bool keep) { recorder_.keepFrames(keep); }

private:
    void run();
    void sendTo(std::uint32_t address, std::span<const std::uint8_t> bytes);

    mutable std::mutex mutex_;
    int socket_ = -1;
    std::uint16_t answerPort_ = 0;
    std::uint32_t sender_ = 0;
    Bytes status_;
    std::chrono::milliseconds statusInterval_{0};
    Clock::time_point nextStatus_{};
    std::thread reader_;
    std::atomic<bool> stop_{false};
    FrameRecorder recorder_{FrameRecorder::Placeholder::everyFrame};
};

}  // namespace rig_emulator
