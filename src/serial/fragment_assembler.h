#pragma once
// Rebuilds a large message from the fragment frames the rig controller cuts it into.
//
// One assembler per receiving thread; it is not thread-safe itself, only its output queue is.
// It works on one message at a time: a fragment of another message discards the partial one.

#include <cstdint>
#include <span>
#include <vector>

#include "serial/message_queue.h"

namespace tarvelin::serial {

class FragmentAssembler {
public:
    // The largest fragment count whose message can still reach the host: a rebuilt frame must
    // fit readMessagemmf's 4096 bytes. A header announcing more is refused at its first
    // fragment, before anything is reserved for it.
    static constexpr std::uint16_t maxFragmentCount =
        (longestReceivedFrame - lengthFrameOverhead + fragmentChunkLength - 1) / fragmentChunkLength;

    explicit FragmentAssembler(MessageQueue& output) : output_(&output) {}

    // Takes the payload of one good FA frame (the bytes between its length field and its
    // check field). When the last missing fragment of a message arrives, the frame
    // FA FA, length (16-bit), payload, 0A 0D goes to the output queue (which drops its oldest
    // frame when it holds 150), unless that frame would be longer than the 4096 bytes the host
    // can read: such a message is dropped whole.
    void addFragment(std::span<const std::uint8_t> payload);

    // Drops the message in progress and frees its buffers.
    void reset();

    bool assembling() const { return assembling_; }

private:
    MessageQueue* output_;
    bool assembling_ = false;
    std::uint16_t messageId_ = 0;
    std::uint16_t fragmentCount_ = 0;
    std::uint16_t fragmentsReceived_ = 0;
    std::uint32_t totalLength_ = 0;
    std::vector<std::uint8_t> data_;
    std::vector<std::uint8_t> received_;
};

}  // namespace tarvelin::serial
