#pragma once
// The check field of every rig controller frame: CRC-16/ARC (reflected polynomial 0xA001,
// initial value 0, no final exclusive-or), computed a byte at a time from a 256-entry table.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvelin::serial {

// The CRC of `bytes`. Thread-safe: the table is built once, before its first use completes,
// whichever thread needs it first.
std::uint16_t crc16Arc(std::span<const std::uint8_t> bytes);

// Stores `crc` at `out[0..1]`, low byte first, as the wire carries it.
inline void storeCrc(std::uint16_t crc, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(crc & 0xFFu);
    out[1] = static_cast<std::uint8_t>(crc >> 8);
}

// The little-endian 16-bit value at `in[0..1]`.
inline std::uint16_t loadLe16(const std::uint8_t* in) {
    return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

}  // namespace tarvelin::serial
