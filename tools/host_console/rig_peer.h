#pragma once
// The far end of the demo's rig link: a rig controller emulator that answers the link's
// identification and counts the frames that reach it. Either built into the console (a board
// on a pseudo-terminal, where the system has them) or a separate emulator program reached over
// its loopback control connection (tools/rig_emulator), which is how the demo runs under Wine.

#include <chrono>
#include <cstdint>
#include <vector>
#include <memory>
#include <optional>
#include <string>

#include "host_console/live_view.h"
#include "host_console/profile_file.h"

namespace tarvelin::console {

class RigPeer {
public:
    virtual ~RigPeer() = default;
    // The COM port name the engine opens to reach the board ("COM5").
    virtual const std::string& port() const = 0;
    // The motion frames that reached the board so far (identification requests not counted);
    // nothing when the emulator cannot be asked.
    virtual std::optional<RigCounts> counts() = 0;

    // The motion frames that reached the board after the one numbered `number`, with the moment
    // each arrived, as far as the emulator can tell (the built-in one can; empty otherwise).
    struct ArrivedFrame {
        std::vector<std::uint8_t> bytes;
        std::uint64_t number = 0;
        std::chrono::steady_clock::time_point arrival{};
    };
    virtual bool seesArrivals() const { return false; }
    virtual std::vector<ArrivedFrame> framesAfter(std::uint64_t /*number*/) { return {}; }
};

// A board on a pseudo-terminal inside this process. It is reached as a COM port through a link
// in a private data folder, which becomes the library's data folder for this process (so the
// engine's error log lands there too) and is removed with the board. Call before the first
// export and before any other thread starts. Null with `error` set where the system has no
// pseudo-terminals or one cannot be made.
std::unique_ptr<RigPeer> startBuiltInRig(std::string& error);

// A board on the network inside this process: it joins the link's multicast group on the
// interface the routing table names for it, counts the frames the engine sends there and
// answers to `listenPort`, so that UDP carries the link. Null with `error` set where the system
// has no built-in emulator or the group cannot be joined.
std::unique_ptr<RigPeer> startBuiltInNetworkRig(const UdpLinkSettings& udp, std::string& error);

// The board `board` of a rig controller emulator program listening on 127.0.0.1:controlPort,
// behind the COM port `port`. Null with `error` set when the emulator cannot be reached or
// refuses.
std::unique_ptr<RigPeer> connectExternalRig(const std::string& port, std::uint16_t controlPort, const std::string& board,
                                            std::string& error);

// The identification reply of a rig controller (board id 1), as the emulator is told to send
// it: F9 F9 01 00 01 00 0A 0D.
inline constexpr const char* identificationReplyHex = "F9F9010001000A0D";

}  // namespace tarvelin::console
