#include "serial/fragment_assembler.h"

#include <algorithm>

#include "serial/crc16.h"

namespace tarvelin::serial {

void FragmentAssembler::addFragment(std::span<const std::uint8_t> payload) {
    if (payload.size() < fragmentHeaderLength) return;
    if (payload[0] != fragmentMarker0 || payload[1] != fragmentMarker1) return;
    const std::uint16_t id = loadLe16(&payload[2]);
    const std::uint16_t index = loadLe16(&payload[4]);
    const std::uint16_t count = loadLe16(&payload[6]);
    if (count == 0 || count > maxFragmentCount) return;

    // A separate flag, not the id, tells whether a message is in progress, so that a message
    // whose id is 0 (the sender's counter wraps) is assembled like any other.
    if (!assembling_ || id != messageId_) {
        assembling_ = true;
        messageId_ = id;
        fragmentCount_ = count;
        fragmentsReceived_ = 0;
        totalLength_ = 0;
        data_.assign(std::size_t{count} * fragmentChunkLength, 0);
        received_.assign(count, 0);
    }

    const std::size_t chunkLength = payload.size() - fragmentHeaderLength;
    if (index >= fragmentCount_ || chunkLength > fragmentChunkLength) return;
    if (received_[index] != 0) return;

    std::copy(payload.begin() + fragmentHeaderLength, payload.end(),
              data_.begin() + static_cast<std::ptrdiff_t>(std::size_t{index} * fragmentChunkLength));
    received_[index] = 1;
    ++fragmentsReceived_;
    if (index == fragmentCount_ - 1) {
        totalLength_ = static_cast<std::uint32_t>((fragmentCount_ - 1u) * fragmentChunkLength + chunkLength);
    }
    if (fragmentsReceived_ != fragmentCount_) return;

    if (totalLength_ == 0) totalLength_ = static_cast<std::uint32_t>(fragmentCount_ * fragmentChunkLength);
    // A frame the host's read buffer cannot hold would only be queued to be lost unread, and
    // would push a readable one out of the queue.
    if (totalLength_ + lengthFrameOverhead <= longestReceivedFrame) {
        Message frame;
        frame.reserve(totalLength_ + lengthFrameOverhead);
        frame.push_back(leadLarge);
        frame.push_back(leadLarge);
        frame.push_back(static_cast<std::uint8_t>(totalLength_ & 0xFFu));
        frame.push_back(static_cast<std::uint8_t>(totalLength_ >> 8));
        frame.insert(frame.end(), data_.begin(), data_.begin() + totalLength_);
        frame.push_back(trailer0);
        frame.push_back(trailer1);
        output_->pushDroppingOldest(queueLimit, frame);
    }
    reset();
}

void FragmentAssembler::reset() {
    assembling_ = false;
    messageId_ = 0;
    fragmentCount_ = 0;
    fragmentsReceived_ = 0;
    totalLength_ = 0;
    std::vector<std::uint8_t>().swap(data_);
    std::vector<std::uint8_t>().swap(received_);
}

}  // namespace tarvelin::serial
