#pragma once
// Which telemetry channel feeds a rig slot of a profile, and whether the input is clamped to
// the slot's input limits first.

#include <cstdint>

namespace tarvelin {

struct DofMapping {
    std::int32_t slot;
    std::int32_t channel;  // index into the channels of GameData
    bool useInputLimits;
};

}  // namespace tarvelin
