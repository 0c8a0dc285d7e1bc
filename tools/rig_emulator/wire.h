#pragma once
// The rig controller's side of the wire: check fields, frame builders and hex text.
//
// Written apart from the library's own protocol code on purpose: the emulator checks what the
// library sends, so sharing the library's CRC or framing would hide a fault in them.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rig_emulator {

using Bytes = std::vector<std::uint8_t>;

// CRC-16/ARC, computed bit by bit.
std::uint16_t crc16(std::span<const std::uint8_t> bytes);

// Appends the CRC of everything in `frame` so far, low byte first.
void appendCrc(Bytes& frame);

// F9 frame: command, 0, two value bytes, CRC (or 0A 0D when `unchecked`).
Bytes shortFrame(std::uint8_t command, std::uint8_t value0, std::uint8_t value1, bool unchecked);
// The version reply for `version` (byte 5 × 100 + byte 4).
Bytes versionReply(int version);
// F8 frame around 34 payload bytes, FB frame around 74, each with its CRC.
Bytes data38Frame(std::span<const std::uint8_t> payload);
Bytes data78Frame(std::span<const std::uint8_t> payload);
// FE frame around a payload, with its CRC.
Bytes variableFrame(std::span<const std::uint8_t> payload);
// The fragment frames of a large message payload, 500 bytes a chunk, message id `id`.
std::vector<Bytes> fragmentFrames(std::span<const std::uint8_t> payload, std::uint16_t id);

std::string toHex(std::span<const std::uint8_t> bytes);
std::optional<Bytes> fromHex(std::string_view text);

}  // namespace rig_emulator
