#include "serial/frame_parser.h"

#include "serial/crc16.h"

namespace tarvelin::serial {

namespace {

bool checkFieldMatches(const std::uint8_t* frame, std::size_t length) {
    return crc16Arc({frame, length - 2}) == loadLe16(frame + length - 2);
}

bool endsWithTrailer(const std::uint8_t* frame, std::size_t length) {
    return frame[length - 2] == trailer0 && frame[length - 1] == trailer1;
}

// Queues the frame with its check field replaced by 0A 0D.
void queueFrame(const std::uint8_t* frame, std::size_t length, MessageQueue& queue) {
    Message message(frame, frame + length);
    message[length - 2] = trailer0;
    message[length - 1] = trailer1;
    queue.pushDroppingOldest(queueLimit, message);
}

// The longest frame of a length-field kind that can be put to use: an FE frame goes to the host
// whole, an FA frame carries one fragment.
std::size_t longestUsableFrame(std::uint8_t lead) {
    return lead == leadVariable ? longestReceivedFrame : longestFragmentFrame;
}

}  // namespace

ParsedFrames parseFrames(std::span<const std::uint8_t> bytes, MessageQueue& queue, FragmentAssembler& assembler,
                         std::atomic<std::int32_t>& versionAtLeast328) {
    const std::size_t size = bytes.size();
    std::size_t position = 0;
    bool accepted = false;

    while (size - position >= shortFrameLength) {
        const std::uint8_t* frame = bytes.data() + position;
        const std::size_t available = size - position;
        const std::uint8_t lead = frame[0];

        if (lead == leadShort && frame[1] == leadShort) {
            if (endsWithTrailer(frame, shortFrameLength) || checkFieldMatches(frame, shortFrameLength)) {
                queueFrame(frame, shortFrameLength, queue);
                if (versionAtLeast328.load() == 0 && frame[2] == versionCommand &&
                    versionValue(frame) >= versionWithChecksummedAutoMessages) {
                    versionAtLeast328.store(1);
                }
                position += shortFrameLength;
                accepted = true;
                continue;
            }
        } else if (lead == leadData38 && frame[1] == leadData38) {
            if (available < data38FrameLength) break;
            if (endsWithTrailer(frame, data38FrameLength) || checkFieldMatches(frame, data38FrameLength)) {
                queueFrame(frame, data38FrameLength, queue);
                position += data38FrameLength;
                accepted = true;
                continue;
            }
        } else if ((lead == leadVariable || lead == leadLarge) && frame[1] == lead) {
            const std::size_t payloadLength = loadLe16(frame + 2);
            const std::size_t frameLength = payloadLength + lengthFrameOverhead;
            // A longer claim is damage (or a stray lead byte pair): waiting for its bytes would
            // hold back every good frame behind it, so it is skipped at once like a bad check.
            if (frameLength <= longestUsableFrame(lead)) {
                if (available < frameLength) break;
                if (checkFieldMatches(frame, frameLength)) {
                    if (lead == leadVariable) {
                        queueFrame(frame, frameLength, queue);
                    } else {
                        assembler.addFragment({frame + 4, payloadLength});
                    }
                    position += frameLength;
                    accepted = true;
                    continue;
                }
            }
        } else if (lead == leadData78 && frame[1] == leadData78) {
            if (available < data78FrameLength) break;
            if (checkFieldMatches(frame, data78FrameLength)) {
                queueFrame(frame, data78FrameLength, queue);
                position += data78FrameLength;
                accepted = true;
                continue;
            }
        }
        ++position;
    }
    return {position, accepted};
}

int FrameParser(std::vector<std::uint8_t>& buffer, MessageQueue& queue, FragmentAssembler& assembler,
                std::atomic<std::int32_t>& versionAtLeast328) {
    // The consumed bytes are erased once at the end, so that a long run of garbage costs one
    // pass instead of one move of the whole buffer per dropped byte.
    const ParsedFrames parsed = parseFrames(buffer, queue, assembler, versionAtLeast328);
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(parsed.consumed));
    return parsed.accepted ? 1 : 0;
}

}  // namespace tarvelin::serial
