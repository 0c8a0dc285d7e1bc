#include "net/rig_datagram_receiver.h"

#include "serial/frame_parser.h"

namespace tarvelin {

RigDatagramReceiver::RigDatagramReceiver(serial::BridgeState& state, Clock::time_point start)
    : state_(state), assembler_(state.udpReceiveQueue), lastActivity_(start) {}

bool RigDatagramReceiver::take(std::span<const std::uint8_t> datagram, std::uint32_t sender, Clock::time_point now) {
    if (peer_ && *peer_ != sender) {
        if (state_.udpPeerActive.load()) return false;
        // The old peer fell silent; a new one's fragments must never continue its message.
        assembler_.reset();
    }
    buffer_.assign(datagram.begin(), datagram.end());
    const bool accepted = serial::FrameParser(buffer_, state_.udpReceiveQueue, assembler_, state_.versionAtLeast328) != 0;
    buffer_.clear();
    if (!accepted) return false;
    peer_ = sender;
    lastActivity_ = now;
    state_.udpPeerActive.store(true);
    return true;
}

bool RigDatagramReceiver::checkSilence(Clock::time_point now) {
    if (now - lastActivity_ < silenceLimit || !state_.udpPeerActive.load()) return false;
    state_.udpPeerActive.store(false);
    state_.serialSendQueue.clear();
    state_.udpSendQueue.clear();
    return true;
}

void RigDatagramReceiver::close() {
    state_.udpPeerActive.store(false);
    assembler_.reset();
}

}  // namespace tarvelin
