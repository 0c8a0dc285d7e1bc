// Datagrams from the network as the rig link's listening thread takes them: arbitrary bytes
// from several senders at arbitrary times, through the datagram receiver into the link's
// state. Frames must stay whole and within their datagram, only the peer may keep the UDP link
// alive, and its turn must end 8 s after its last good frame.
//
// Input: a sequence of datagrams, each a control byte (bits 0-1: which of four senders; bit 2:
// fill in check fields; bits 3-7: seconds since the previous datagram, in steps of 0.5 s), a
// 16-bit little-endian length, and that many bytes.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fill_check_fields.h"
#include "net/rig_datagram_receiver.h"

using tarvelin::RigDatagramReceiver;
using namespace tarvelin::serial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BridgeState state;
    auto now = RigDatagramReceiver::Clock::time_point{} + std::chrono::hours(1);
    RigDatagramReceiver receiver(state, now);
    auto lastGood = now;
    bool heard = false;
    Message frame;
    std::size_t position = 0;
    while (position + 3 <= size) {
        const std::uint8_t control = data[position];
        std::size_t length = loadLe16(data + position + 1);
        position += 3;
        if (length > size - position) length = size - position;
        std::vector<std::uint8_t> datagram(data + position, data + position + length);
        position += length;
        if ((control & 4u) != 0) fillCheckFields(datagram);
        now += std::chrono::milliseconds(500) * (control >> 3);
        const std::uint32_t sender = 0xC0000201u + (control & 3u);

        if (receiver.take(datagram, sender, now)) {
            lastGood = now;
            heard = true;
        }
        receiver.checkSilence(now);
        // The link stays with UDP exactly while the peer's last good frame is under 8 s old.
        if (state.udpPeerActive.load() != (heard && now - lastGood < RigDatagramReceiver::silenceLimit)) std::abort();
        // Frames never outlive their datagram half-made: every queued frame is whole.
        if (state.udpReceiveQueue.size() > 152) std::abort();
        while (state.udpReceiveQueue.takeFront(frame)) {
            if (frame.size() < 6 || frame[frame.size() - 2] != 0x0A || frame[frame.size() - 1] != 0x0D) std::abort();
            if (frame[0] != frame[1]) std::abort();
        }
    }
    return 0;
}
