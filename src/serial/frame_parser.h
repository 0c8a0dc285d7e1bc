#pragma once
// Cuts a received byte stream into rig controller frames, checks them and queues them.

#include <atomic>
#include <cstdint>
#include <vector>

#include "serial/fragment_assembler.h"
#include "serial/message_queue.h"

namespace tarvelin::serial {

// Consumes complete frames (and any bytes that cannot start one) from the front of `buffer`;
// a frame that is not yet complete stays there for the next call. Good F9, F8, FE and FB
// frames go to `queue` with their check field replaced by 0A 0D, unless the queue already
// holds more than 150 frames (the frame is then lost, and still counts as accepted). Good FA
// frames go to `assembler`. A version reply of 328 or more sets `versionAtLeast328` to 1.
//
// Returns 1 when at least one frame was accepted, else 0. Never fails: damaged or unknown bytes
// are dropped one at a time until a frame start with a good check field is found.
// Thread-safe as far as `queue` and the flag go; the buffer and assembler are the caller's.
int FrameParser(std::vector<std::uint8_t>& buffer, MessageQueue& queue, FragmentAssembler& assembler,
                std::atomic<std::int32_t>& versionAtLeast328);

}  // namespace tarvelin::serial
