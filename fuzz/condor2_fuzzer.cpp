// Condor's key=value text arrives from any program that sends to the simulator's port. The input
// is taken as two datagrams (split at its first byte 0x01), since the stored keys carry over.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "finite_channels.h"
#include "games/condor2_reader.h"
#include "games/gravity_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* split = static_cast<const std::uint8_t*>(std::memchr(data, 0x01, size));
    const std::size_t first = split != nullptr ? static_cast<std::size_t>(split - data) : size;
    tarvelin::Condor2Values stored;
    tarvelin::GameData record;
    for (const auto datagram : {std::span<const std::uint8_t>(data, first),
                                std::span<const std::uint8_t>(data, size).subspan(first)}) {
        if (tarvelin::applyCondor2Datagram(datagram, stored, record)) {
            tarvelin::applyGravitySplit(record, tarvelin::GravityForm::sum);
        }
        requireFiniteChannels(record);
        if (stored.hudMessages().size() > tarvelin::Condor2Values::hudCapacity) std::abort();
    }
    return 0;
}
