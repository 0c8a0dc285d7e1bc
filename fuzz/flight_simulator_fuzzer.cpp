// The Flight Simulator's client library hands the reader whatever the simulator queued. Reading
// any sequence of messages must not crash, and once the frame is completed with gravity no channel
// may be anything but a finite number and the profile selector only 0 or 1.
//
// Input: messages one after another, each a 16-bit little-endian length and that many bytes (the
// last one takes what is left).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/game_data.h"
#include "games/flight_simulator_reader.h"
#include "games/gravity_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvelin::GameData record;
    std::int32_t profileSelector = 0;
    for (std::size_t at = 0; at + 2 <= size;) {
        const std::size_t length = std::min<std::size_t>(data[at] | data[at + 1] << 8, size - at - 2);
        const std::span<const std::uint8_t> message(data + at + 2, length);
        at += 2 + length;
        if (tarvelin::applyFlightSimulatorMessage(message, record, profileSelector) ==
            tarvelin::SimulatorMessage::exception) {
            break;
        }
    }
    tarvelin::applyGravitySplit(record, tarvelin::GravityForm::sum);
    for (const double channel : record.channels) {
        if (!std::isfinite(channel)) std::abort();
    }
    if (profileSelector != 0 && profileSelector != 1) std::abort();
    return 0;
}
