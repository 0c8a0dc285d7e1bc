#pragma once
// The frames exchanged with the rig controller board.
//
// Every frame starts with two equal lead bytes naming its kind and ends with a two-byte check
// field (CRC-16/ARC of everything before it, low byte first). Frames that the parser queues for
// the host end in 0A 0D instead, and messages the host hands over end in two placeholder bytes
// that the serial sender replaces by the CRC.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvelin::serial {

using Message = std::vector<std::uint8_t>;
using FixedMessage = std::array<std::uint8_t, 8>;

// Lead bytes (each frame starts with the byte twice).
inline constexpr std::uint8_t leadShort = 0xF9;     // 8 bytes: command, 0, two value bytes
inline constexpr std::uint8_t leadData38 = 0xF8;    // 38 bytes: 34 payload bytes
inline constexpr std::uint8_t leadLarge = 0xFA;     // 16-bit length + payload; fragments
inline constexpr std::uint8_t leadData78 = 0xFB;    // 78 bytes: 74 payload bytes
inline constexpr std::uint8_t leadMotion = 0xFC;    // 36 bytes: the motion frame, sent only
inline constexpr std::uint8_t leadVariable = 0xFE;  // 16-bit length + payload

inline constexpr std::size_t shortFrameLength = 8;
inline constexpr std::size_t motionFrameLength = 36;
inline constexpr std::size_t data38FrameLength = 38;
inline constexpr std::size_t data78FrameLength = 78;
// Lead, 16-bit payload length and check field around the payload of FA and FE frames.
inline constexpr std::size_t lengthFrameOverhead = 6;

// The two bytes that stand in for the check field in queued frames and unchecked replies.
inline constexpr std::uint8_t trailer0 = 0x0A;
inline constexpr std::uint8_t trailer1 = 0x0D;

// Fixed F9 messages.
inline constexpr FixedMessage identificationRequest{0xF9, 0xF9, 0x01, 0x00, 0x00, 0x00, 0x0A, 0x0D};
inline constexpr FixedMessage identificationReplyId1{0xF9, 0xF9, 0x01, 0x00, 0x01, 0x00, 0x0A, 0x0D};
inline constexpr FixedMessage identificationReplyId1Crc{0xF9, 0xF9, 0x01, 0x00, 0x01, 0x00, 0x88, 0x11};
inline constexpr FixedMessage identificationReplyId2{0xF9, 0xF9, 0x01, 0x00, 0x02, 0x00, 0x0A, 0x0D};
inline constexpr FixedMessage identificationReplyId2Crc{0xF9, 0xF9, 0x01, 0x00, 0x02, 0x00, 0x88, 0xE1};
// Sent after an automatic connection; they end in placeholders that the sender turns into CRCs.
inline constexpr FixedMessage firstMessageAfterAutoConnect{0xF9, 0xF9, 0x04, 0x00, 0x01, 0x00, 0x0A, 0x0D};
inline constexpr FixedMessage secondMessageAfterAutoConnect{0xF9, 0xF9, 0x02, 0x00, 0x01, 0x00, 0x0A, 0x0D};

// Command byte of the version reply, and the first firmware version with the newer UDP framing.
inline constexpr std::uint8_t versionCommand = 0x02;
inline constexpr int versionWithChecksummedAutoMessages = 328;

// The version carried by an F9 frame: byte 5 × 100 + byte 4, both read as signed 8-bit values.
inline int versionValue(const std::uint8_t* frame) {
    return static_cast<std::int8_t>(frame[5]) * 100 + static_cast<std::int8_t>(frame[4]);
}

// Fragment frames: an FA frame whose payload starts with this header, then a chunk.
inline constexpr std::uint8_t fragmentMarker0 = 0x00;
inline constexpr std::uint8_t fragmentMarker1 = 0xF1;
inline constexpr std::size_t fragmentHeaderLength = 8;  // marker, id, index, count
inline constexpr std::size_t fragmentChunkLength = 500;
// A message is cut into fragments from this length on (when it is an FA frame).
inline constexpr std::size_t fragmentThreshold = 501;

// Queue limit shared by the send queues and the receive queues.
inline constexpr std::size_t queueLimit = 150;

// The longest frame the host can take: readMessagemmf's buffer holds 4096 bytes. A received
// frame, or a reassembled message, that would be longer can never reach the host whole.
inline constexpr std::size_t longestReceivedFrame = 4096;
// The longest FA frame that carries a fragment: a full chunk behind the fragment header.
inline constexpr std::size_t longestFragmentFrame = fragmentHeaderLength + fragmentChunkLength + lengthFrameOverhead;

}  // namespace tarvelin::serial
