// Arbitrary byte streams from the rig controller's serial line, read in arbitrary chunks at
// arbitrary moments, through the line framer: the frame parser, its fragment assembler, and the
// giving up on frames whose bytes stop coming.
//
// Input: byte 0 picks the chunk sizes; byte 1 bit 0 asks for check fields to be filled in, bits
// 1 to 7 set the pace, from every read at the same moment to reads up to a quarter of a second
// apart (well past the framer's margin); the rest is the stream. Whatever waits must be shorter
// than the longest frame the host can read, the queue must keep to its limit, and only whole
// frames ending in 0A 0D may come out.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fill_check_fields.h"
#include "serial/line_framer.h"

using namespace tarvelin::serial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned chunkSeed = data[0];
    const unsigned pace = data[1] >> 1;
    std::vector<std::uint8_t> stream(data + 2, data + size);
    if ((data[1] & 1u) != 0) fillCheckFields(stream);

    MessageQueue queue;
    std::atomic<std::int32_t> version{0};
    LineFramer framer(queue, version);
    LineFramer::Clock::time_point now{};
    Message frame;
    std::size_t position = 0;
    unsigned step = 0;
    while (position < stream.size()) {
        const std::size_t chunk = 1 + ((chunkSeed * 31u + step * 17u) % 97u);
        const std::size_t end = position + chunk < stream.size() ? position + chunk : stream.size();
        now += std::chrono::microseconds(300 * pace * (step % 7 + 1));
        ++step;
        framer.append({stream.data() + position, end - position}, now);
        position = end;
        framer.parse(now);

        if (framer.waiting() >= longestReceivedFrame) std::abort();
        if (queue.size() > queueLimit) std::abort();
        while (queue.takeFront(frame)) {
            if (frame.size() < 6 || frame.size() > longestReceivedFrame) std::abort();
            if (frame[0] != frame[1] || frame[frame.size() - 2] != 0x0A || frame[frame.size() - 1] != 0x0D) std::abort();
            if ((frame[0] == 0xFA || frame[0] == 0xFE) && loadLe16(&frame[2]) + 6u != frame.size()) std::abort();
        }
    }
    return 0;
}
