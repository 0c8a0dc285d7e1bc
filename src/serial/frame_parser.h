#pragma once
// Cuts a received byte stream into rig controller frames, checks them and queues them.

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "serial/fragment_assembler.h"
#include "serial/message_queue.h"

namespace tarvelin::serial {

// Consumes complete frames (and any bytes that cannot start one) from the front of `buffer`;
// a frame that is not yet complete stays there for the next call. Good F9, F8, FE and FB
// frames go to `queue` with their check field replaced by 0A 0D; a queue that holds 150 frames
// drops its oldest for the new one. Good FA frames go to `assembler`. A version reply of 328
// or more sets `versionAtLeast328` to 1.
//
// Returns 1 when at least one frame was accepted, else 0. Never fails: damaged or unknown bytes
// are dropped one at a time until a frame start with a good check field is found. A length
// field that claims more than the host could read (an FE frame beyond 4096 bytes) or more than
// a fragment (an FA frame beyond 514 bytes) counts as damaged, so at most 4095 bytes are ever
// left waiting. Whether a frame that waits will ever be completed is the caller's judgement
// (LineFramer on the serial line; a datagram's leftovers go with it).
// Thread-safe as far as `queue` and the flag go; the buffer and assembler are the caller's.
int FrameParser(std::vector<std::uint8_t>& buffer, MessageQueue& queue, FragmentAssembler& assembler,
                std::atomic<std::int32_t>& versionAtLeast328);

// FrameParser over bytes that stay where they are: how many of them were consumed from the
// front, and whether a frame was accepted.
struct ParsedFrames {
    std::size_t consumed;
    bool accepted;
};
ParsedFrames parseFrames(std::span<const std::uint8_t> bytes, MessageQueue& queue, FragmentAssembler& assembler,
                         std::atomic<std::int32_t>& versionAtLeast328);

}  // namespace tarvelin::serial
