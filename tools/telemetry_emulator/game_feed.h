#pragma once
// Where an emulated game puts its frames, and in which state it says it is.
//
// A game publishes its telemetry one way: datagrams to a UDP port, a named shared-memory block
// that it rewrites in place, or the answers of a TCP server. A feed is that channel, opened by the
// game's encoder; the emulator hands it one moment of the drive at a time.

#include <cstdint>
#include <string>

#include "vehicle_motion.h"

namespace tarvelin::emulator {

// What the game says of itself, in the words each game has for it (a shared-memory game's status
// words, a server's state). Games that only stream stop sending while not live.
enum class GameStatus {
    live,          // driving or flying: frames change
    paused,        // the game is paused: the last frame stays
    inMenus,       // a menu is open, no session runs
    inReplay,      // a replay plays
    notConnected,  // the game runs but has no session to report
};

class GameFeed {
public:
    virtual ~GameFeed() = default;

    // Whether the channel could be opened (socket, block, server).
    virtual bool ready() const = 0;

    // Publishes the frame of this moment in the game's own form, marked with the status: true when
    // it went out (a datagram sent, a block written). Called from one thread at a time.
    virtual bool publish(const VehicleMotion& motion, GameStatus status) = 0;

    // Where the frames go, for the user: "127.0.0.1:4444", "shared memory $R3E".
    virtual std::string destination() const = 0;
};

}  // namespace tarvelin::emulator
