// Arbitrary byte streams from the rig controller's line, in arbitrary chunks, through the frame
// parser and its fragment assembler.
//
// Input: byte 0 picks the chunk sizes, byte 1 bit 0 asks for check fields to be filled in (so
// that damaged-but-framed input reaches the assembler, not only the CRC test); the rest is the
// stream. The parser must never keep more than one frame's worth of bytes waiting, never queue
// more than its limit, and queue only whole frames ending in 0A 0D.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fill_check_fields.h"
#include "serial/crc16.h"
#include "serial/frame_parser.h"

using namespace tarvelin::serial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned chunkSeed = data[0];
    std::vector<std::uint8_t> stream(data + 2, data + size);
    if ((data[1] & 1u) != 0) fillCheckFields(stream);

    MessageQueue queue;
    FragmentAssembler assembler(queue);
    std::atomic<std::int32_t> version{0};
    std::vector<std::uint8_t> buffer;
    Message frame;
    std::size_t position = 0;
    unsigned step = 0;
    while (position < stream.size()) {
        const std::size_t chunk = 1 + ((chunkSeed * 31u + step++ * 17u) % 97u);
        const std::size_t end = position + chunk < stream.size() ? position + chunk : stream.size();
        buffer.insert(buffer.end(), stream.begin() + static_cast<std::ptrdiff_t>(position),
                      stream.begin() + static_cast<std::ptrdiff_t>(end));
        position = end;
        FrameParser(buffer, queue, assembler, version);

        // Whatever waits is one frame in the making, shorter than the longest the host can read.
        if (buffer.size() >= longestReceivedFrame) std::abort();
        if (queue.size() > queueLimit) std::abort();
        while (queue.takeFront(frame)) {
            if (frame.size() < 6 || frame[frame.size() - 2] != 0x0A || frame[frame.size() - 1] != 0x0D) std::abort();
            if (frame[0] != frame[1]) std::abort();
            if ((frame[0] == 0xFA || frame[0] == 0xFE) && loadLe16(&frame[2]) + 6u != frame.size()) std::abort();
        }
    }
    return 0;
}
