#pragma once
// What every game decoder's fuzz target demands of the record it leaves: whatever the datagram
// held, once the frame is completed with gravity no channel is anything but a finite number.

#include <cmath>
#include <cstdlib>

#include "core/game_data.h"

inline void requireFiniteChannels(const tarvelin::GameData& record) {
    for (const double channel : record.channels) {
        if (!std::isfinite(channel)) std::abort();
    }
    if (!std::isfinite(record.gameClockS) || !std::isfinite(record.gameClockStepMs)) std::abort();
}
