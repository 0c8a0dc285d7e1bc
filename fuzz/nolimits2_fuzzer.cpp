// Whatever answers on NoLimits 2's port may send any bytes, cut into receives of any size. Taking
// them through the stream, the telemetry parser and the reader's frame must not crash, and no
// channel may end up as something other than a finite number.
//
// Input: the first byte sets the size of every receive (1 to 256 bytes); the rest is the stream.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/game_data.h"
#include "games/nolimits_messages.h"
#include "games/nolimits_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t receiveSize = static_cast<std::size_t>(data[0]) + 1;
    tarvelin::NoLimitsStream stream;
    tarvelin::NoLimitsMotion motion;
    tarvelin::GameData record;
    record.frameTimeMs = 2.0;
    for (std::size_t at = 1; at < size;) {
        const auto space = stream.freeSpace();
        if (space.empty()) std::abort();
        const std::size_t count = std::min({receiveSize, space.size(), size - at});
        std::memcpy(space.data(), data + at, count);
        stream.received(count);
        at += count;
        for (auto message = stream.next(); !message.empty(); message = stream.next()) {
            const bool framed = message.front() == 'N' && message.back() == 'L';
            if (message.size() > tarvelin::NoLimitsStream::capacity || !framed) {
                std::abort();
            }
            if (auto telemetry = tarvelin::parseNoLimitsTelemetry(message)) {
                tarvelin::applyNoLimitsTelemetry(*telemetry, motion, record);
            }
        }
    }
    for (const double channel : record.channels) {
        if (!std::isfinite(channel)) std::abort();
    }
    return 0;
}
