#pragma once
// iRacing: the simulator's telemetry block "Local\IRSDKMemMapFileName" and its "data valid"
// event "Local\IRSDKDataValidEvent". The simulator keeps several data buffers in the block and
// stamps each with a tick count; the reader remembers the last tick it took.

#include <cstdint>
#include <limits>

#include "games/reader_state.h"
#include "platform/named_event.h"

namespace tarvelin {

class IRacingReader : public ReaderState {
public:
    static constexpr const wchar_t* blockName = L"Local\\IRSDKMemMapFileName";
    static constexpr const wchar_t* eventName = L"Local\\IRSDKDataValidEvent";
    // The tick count that no buffer can exceed, so that the next buffer taken is whichever
    // the simulator writes next, also after a restart of its counter.
    static constexpr std::int32_t noTick = std::numeric_limits<std::int32_t>::max();

    // Opens what is not held yet: the block (for reading), a view of all of it, the event.
    // Sets the initialised mark when all three are held; false when a step failed (what was
    // opened stays held for the next try). Game-source thread only.
    bool startUp();

    // Closes event, view and block and forgets the tick and both marks.
    void reset();

    platform::SharedMemory block;
    const std::uint8_t* header = nullptr;  // the start of the view
    platform::NamedEvent dataValid;
    std::int32_t lastTickCount = noTick;
    bool initialised = false;
    bool opened = false;
};

}  // namespace tarvelin
