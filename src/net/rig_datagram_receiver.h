#pragma once
// What the UDP listening thread does with each datagram from the rig controller: no I/O and no
// clock of its own, so that tests and the fuzzer drive it directly.
//
// A datagram holds whole frames, checked and queued exactly as the serial bridge queues the
// frames of its line; bytes that do not form a complete frame are dropped with their datagram
// (frames never span datagrams). The first sender of a good frame becomes the UDP peer and the
// link's live transport; while it keeps answering, datagrams from any other address are
// dropped unread, so that a second board or a stray sender can neither mix its frames into the
// peer's nor break a message the peer is sending in fragments. Eight seconds of silence end the
// peer's turn.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "serial/bridge_state.h"
#include "serial/fragment_assembler.h"

namespace tarvelin {

class RigDatagramReceiver {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto silenceLimit = std::chrono::seconds(8);

    // `start` counts as the last activity, as when the thread starts.
    RigDatagramReceiver(serial::BridgeState& state, Clock::time_point start);

    // One datagram from the IPv4 address `sender` (host byte order), received at `now`. True when
    // it held at least one good frame: the UDP peer is then active and its silence starts anew.
    // Not thread-safe; the bridge state's queues and flags are.
    bool take(std::span<const std::uint8_t> datagram, std::uint32_t sender, Clock::time_point now);

    // Ends the peer's turn after 8 s without a good frame: the UDP peer is no longer active and
    // the messages waiting in both send queues, meant for a controller that no longer answers,
    // are discarded. True when it ended the turn now.
    bool checkSilence(Clock::time_point now);

    // The listener is closing: a peer it can no longer hear is no longer active (the serial
    // line may then take over), and the partial message in the assembler is released.
    void close();

private:
    serial::BridgeState& state_;
    serial::FragmentAssembler assembler_;
    std::vector<std::uint8_t> buffer_;
    Clock::time_point lastActivity_;
    std::optional<std::uint32_t> peer_;
};

}  // namespace tarvelin
