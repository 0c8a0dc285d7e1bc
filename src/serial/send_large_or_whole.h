#pragma once
// Puts one message on a transport, cutting large FA messages into fragment frames.

#include <cstdint>
#include <span>

namespace tarvelin::serial {

// One per sending path (the serial port, the multicast socket).
struct SendContext {
    // Puts one frame on the transport. Reports failure by throwing; the exception leaves
    // sendLargeOrWhole untouched and the remaining fragments unsent.
    using WriteFunction = void (*)(void* object, std::span<const std::uint8_t> frame);

    WriteFunction write = nullptr;
    void* object = nullptr;
    // Counts the messages cut into fragments; its low 16 bits are the fragments' message id.
    std::uint32_t fragmentMessageCounter = 1;

    // The id for the next fragmented message. Ids whose low 16 bits are 0 are skipped: a
    // receiver may take id 0 for "no message in progress" and would then never complete it.
    std::uint16_t nextMessageId();
};

// A message of at least 501 bytes that starts with FA FA is sent as fragment frames of at most
// 500 payload bytes each, in index order, one write per fragment; any other message is written
// whole with one write. The message's own last two bytes are not part of any fragment.
// Not thread-safe for one context; each sending thread has its own.
void sendLargeOrWhole(SendContext& context, std::span<const std::uint8_t> message);

}  // namespace tarvelin::serial
