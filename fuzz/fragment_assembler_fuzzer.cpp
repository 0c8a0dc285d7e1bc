// Arbitrary fragment payloads straight into the assembler, past the check field that guards it
// on the line: the assembler must hold its memory to one message and rebuild only whole frames.
//
// Input: a sequence of payloads, each a 16-bit little-endian length and that many bytes. The
// first two bytes of every payload of even length are forced to the fragment marker, so that
// most payloads reach the assembly itself.

#include <cstdint>
#include <cstdlib>

#include "serial/crc16.h"
#include "serial/fragment_assembler.h"

using namespace tarvelin::serial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MessageQueue queue;
    FragmentAssembler assembler(queue);
    Message frame;
    std::size_t position = 0;
    while (position + 2 <= size) {
        std::size_t length = loadLe16(data + position);
        position += 2;
        if (length > size - position) length = size - position;
        Message payload(data + position, data + position + length);
        position += length;
        if (payload.size() >= 2 && (payload.size() & 1u) == 0) {
            payload[0] = 0x00;
            payload[1] = 0xF1;
        }
        assembler.addFragment(payload);
        while (queue.takeFront(frame)) {
            if (frame.size() < 6 || frame[0] != 0xFA || frame[1] != 0xFA) std::abort();
            if (loadLe16(&frame[2]) + 6u != frame.size()) std::abort();
            if (frame[frame.size() - 2] != 0x0A || frame[frame.size() - 1] != 0x0D) std::abort();
        }
    }
    return 0;
}
