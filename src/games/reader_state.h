#pragma once
// What every game reader keeps, and the common shapes of a reader's connection: a UDP port, a
// named shared-memory block, or two of them. A game whose reader has more to keep builds on these.

#include <cstdint>

#include "core/frame_timer.h"
#include "net/udp_endpoint.h"
#include "platform/shared_memory.h"

namespace tarvelin {

struct ReaderState {
    FrameTimer timer;  // measures the interval between the frames the reader accepts
    // The profile the game asks for: 0 AIR, 1 GROUND. The profile switch reads it for the active
    // game; only readers of games that know "on the ground" ever set it.
    std::int32_t profileSelector = 0;
};

// A game that sends its telemetry as UDP datagrams to a fixed local port.
struct UdpReaderState : ReaderState {
    UdpEndpoint endpoint;
};

// A game that publishes its telemetry in one named shared-memory block.
struct BlockReaderState : ReaderState {
    platform::SharedMemory block;
    bool opened = false;  // the block is held for the reader
    bool mapped = false;  // its view is mapped
    bool failed = false;  // the last connection attempt failed to open or map it

    // Unmaps the view, closes the block and clears the marks.
    void release() {
        opened = false;
        block.close();
        mapped = false;
    }
};

// Assetto Corsa publishes two blocks: the physics that the reader reads and the graphics whose
// status word tells whether a session is live.
struct AssettoCorsaState : ReaderState {
    platform::SharedMemory physics;
    platform::SharedMemory graphics;

    void release() {
        physics.close();
        graphics.close();
    }
};

}  // namespace tarvelin
