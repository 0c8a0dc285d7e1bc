#include "serial/send_large_or_whole.h"

#include <algorithm>
#include <vector>

#include "serial/crc16.h"
#include "serial/rig_frames.h"

namespace tarvelin::serial {

namespace {

void putLe16(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFFu));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFFu));
}

}  // namespace

std::uint16_t SendContext::nextMessageId() {
    if ((fragmentMessageCounter & 0xFFFFu) == 0) ++fragmentMessageCounter;
    return static_cast<std::uint16_t>(fragmentMessageCounter++ & 0xFFFFu);
}

void sendLargeOrWhole(SendContext& context, std::span<const std::uint8_t> message) {
    const bool large = message.size() >= fragmentThreshold && message[0] == leadLarge && message[1] == leadLarge;
    if (!large) {
        context.write(context.object, message);
        return;
    }

    const auto payload = message.subspan(4, message.size() - 6);
    const std::size_t count = (payload.size() + fragmentChunkLength - 1) / fragmentChunkLength;
    const std::uint16_t id = context.nextMessageId();

    std::vector<std::uint8_t> frame;
    frame.reserve(fragmentChunkLength + fragmentHeaderLength + lengthFrameOverhead);
    for (std::size_t index = 0; index < count; ++index) {
        const std::size_t offset = index * fragmentChunkLength;
        const std::size_t chunkLength = std::min(fragmentChunkLength, payload.size() - offset);
        frame.clear();
        frame.push_back(leadLarge);
        frame.push_back(leadLarge);
        putLe16(frame, chunkLength + fragmentHeaderLength);
        frame.push_back(fragmentMarker0);
        frame.push_back(fragmentMarker1);
        putLe16(frame, id);
        putLe16(frame, index);
        putLe16(frame, count);
        frame.insert(frame.end(), payload.begin() + static_cast<std::ptrdiff_t>(offset),
                     payload.begin() + static_cast<std::ptrdiff_t>(offset + chunkLength));
        const std::uint16_t crc = crc16Arc(frame);
        frame.resize(frame.size() + 2);
        storeCrc(crc, frame.data() + frame.size() - 2);
        context.write(context.object, frame);
    }
}

}  // namespace tarvelin::serial
