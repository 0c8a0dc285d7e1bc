#pragma once
// iRacing: the simulator's telemetry block "Local\IRSDKMemMapFileName" and its "data valid"
// event "Local\IRSDKDataValidEvent".
//
// Layout of the block (little-endian 32-bit integers):
//     0  version
//     4  status                      bit 0 set while a session runs
//     8  tick rate                   updates per second
//    12  session text: update count, length (16), offset (20)
//    24  variable count
//    28  offset of the variable headers
//    32  buffer count                at most 4
//    36  buffer length
//    48  four buffer descriptors of 16 bytes: tick count (+0), buffer offset (+4)
// A variable header has 144 bytes: type (+0), offset of the value within a buffer (+4), value
// count (+8), name (+16, up to 32 characters, NUL-padded), description (+48), unit (+112).
//
// The simulator writes each update into one of its buffers, in turn, and stamps it with a
// rising tick count. The reader copies the newest buffer into a line buffer of its own and reads
// nine 32-bit floats from the copy. The simulator's axes are x forward, y left, z up, with
// rotations by the right-hand rule about them (yaw counter-clockwise, roll lifting the left side,
// pitch lowering the nose); the reader turns them into the engine's. Its accelerations include
// gravity (an accelerometer's reading), so the gravity split removes it. Rates stay in radians
// per second.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "core/game_data.h"
#include "games/reader_state.h"
#include "platform/named_event.h"

namespace tarvelin {

inline constexpr std::size_t iRacingHeaderSize = 112;
inline constexpr std::size_t iRacingVariableHeaderSize = 144;
inline constexpr std::size_t iRacingMaximumBuffers = 4;
// The longest buffer the reader copies; a longer one is copied only this far.
inline constexpr std::size_t iRacingLineBufferSize = 10000;

// What one look at the block came to.
enum class IRacingRead {
    frame,             // a new buffer was copied and its values applied
    noNewTick,         // the newest buffer is the one taken last time
    counterRestarted,  // the tick count fell: remembered, the next greater one is read
    notConnected,      // the status bit is clear: no session runs
    overwritten,       // the buffer changed while it was copied; tried again next time
    unreadable,        // header or buffer lie outside the block, or a value is not a number
};

// Reads iRacing's block: the pure part of the reader, with the little it remembers between
// frames (the last tick taken and where the nine variables lie). No I/O, no clock, no
// allocation; the line buffer lives on the stack.
class IRacingDecoder {
public:
    // The tick count that no buffer can exceed, so that the next buffer taken is whichever the
    // simulator writes next, also after a restart of its counter.
    static constexpr std::int32_t noTick = std::numeric_limits<std::int32_t>::max();

    // Takes the newest buffer of `block` (the whole view) when its tick is greater than the last
    // one taken, and writes the channels it carries: the felt accelerations (accel_g), the three
    // rates and the three angles. A variable that the block does not list, or whose value lies
    // beyond the copied part of the buffer, leaves its channel as it is. The block may change
    // while it is read (the simulator writes it all the time): a buffer whose tick count changed
    // during the copy is not used. Nothing outside `block` is ever read.
    IRacingRead read(std::span<const std::uint8_t> block, GameData& record);

    // Forgets the last tick and the variables' places, as for a new session.
    void reset();

    std::int32_t lastTickCount() const { return lastTickCount_; }

private:
    // The header fields that decide where the variables' headers lie. While they stay the same
    // and each header found still carries its name, the headers found last time still hold.
    struct Layout {
        std::int32_t variableCount = 0;
        std::int32_t tableOffset = 0;
        std::int32_t bufferCount = 0;
        std::int32_t bufferLength = 0;
        bool operator==(const Layout&) const = default;
    };

    bool variablesStillThere(std::span<const std::uint8_t> block) const;
    void findVariables(std::span<const std::uint8_t> block);

    std::int32_t lastTickCount_ = noTick;
    Layout layout_;
    bool variablesFound_ = false;
    // Where each wanted variable's header lies in the block, or -1 when the table has none.
    std::array<std::int64_t, 9> headers_{};
};

class IRacingReader : public ReaderState {
public:
    static constexpr const wchar_t* blockName = L"Local\\IRSDKMemMapFileName";
    static constexpr const wchar_t* eventName = L"Local\\IRSDKDataValidEvent";

    // Opens what is not held yet: the block (for reading), a view of all of it, the event.
    // Sets the initialised mark when all three are held; false when a step failed (what was
    // opened stays held for the next try). Game-source thread only.
    bool startUp();

    // Closes event, view and block and forgets the tick and both marks.
    void reset();

    // Reads the newest buffer into the record and completes it with gravity. True on every
    // call while a session runs, also when no new tick arrived (the record then keeps the last
    // frame), so the frame interval measures the time between calls. False when the reader is
    // not opened and while the simulator reports no session, so that a simulator that has
    // ended its session is given up. Game-source thread only; no allocation.
    bool read(GameData& record);

    std::span<const std::uint8_t> view() const {
        return {static_cast<const std::uint8_t*>(block.view()), block.viewSize()};
    }

    platform::SharedMemory block;
    platform::NamedEvent dataValid;
    IRacingDecoder decoder;
    bool initialised = false;
    bool opened = false;
};

}  // namespace tarvelin
