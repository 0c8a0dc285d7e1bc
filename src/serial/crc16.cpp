#include "serial/crc16.h"

#include <array>

namespace tarvelin::serial {

namespace {

std::array<std::uint16_t, 256> buildTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        unsigned crc = value;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xA001u : crc >> 1;
        }
        table[value] = static_cast<std::uint16_t>(crc);
    }
    return table;
}

}  // namespace

std::uint16_t crc16Arc(std::span<const std::uint8_t> bytes) {
    // A function-local static is initialised exactly once; a second thread arriving meanwhile
    // waits for the first to finish, so no thread ever reads a half-built table.
    static const std::array<std::uint16_t, 256> table = buildTable();
    unsigned crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFFu];
    }
    return static_cast<std::uint16_t>(crc);
}

}  // namespace tarvelin::serial
