// What the multicast sender costs per frame: one pass of its loop body with the engine's motion
// frame waiting, sent as a datagram through the real socket layer to a loopback sink (the
// system call is the bulk of it); the auto message with its check field; and the pass that
// finds nothing to send, which the sender runs 500 times a second between frames.

#include <benchmark/benchmark.h>

#include <vector>

#include "net/multicast_sender.h"
#include "platform/socket.h"

using namespace tarvelin;

namespace {

// A sender aimed at a loopback port nobody reads: the kernel drops what overflows the sink,
// so the cost stays that of the send.
class LoopbackSender {
public:
    LoopbackSender() {
        platform::socketStartup();
        sink_ = platform::openUdpSocket();
        platform::bindSocket(sink_, platform::SocketAddress{platform::loopbackIpv4, 0});
        context_.socket = platform::openUdpSocket();
        context_.destination = platform::SocketAddress{platform::loopbackIpv4, platform::localPort(sink_)};
    }
    ~LoopbackSender() {
        platform::closeSocket(context_.socket);
        platform::closeSocket(sink_);
        platform::socketCleanup();
    }
    MulticastPass& pass() { return pass_; }

private:
    platform::SocketHandle sink_ = platform::invalidSocket;
    MulticastContext context_;
    std::int32_t repeatCount_ = 0;
    MulticastPass pass_{context_, repeatCount_};
};

serial::Message motionFrame() {
    serial::Message frame{0xFC, 0xFC};
    frame.resize(34, 0x3F);
    frame.insert(frame.end(), {0x0A, 0x0D});
    return frame;
}

void BM_SenderPassWithOneMotionFrame(benchmark::State& run) {
    serial::BridgeState state;
    LoopbackSender sender;
    const serial::Message frame = motionFrame();
    for (auto _ : run) {
        state.udpSendQueue.push(frame);
        sender.pass().sendWaiting(state);
    }
    run.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(run.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SenderPassWithOneMotionFrame);

void BM_SenderPassWithTheAutoMessageAndItsCheckField(benchmark::State& run) {
    serial::BridgeState state;
    state.versionAtLeast328.store(1);
    LoopbackSender sender;
    const serial::Message automatic{0xF9, 0xF9, 0x07, 0x00, 0x01, 0x00, 0x0A, 0x0D};
    for (auto _ : run) {
        // Two waiting: the pass sends the first and drops it, so one stays for the next pass.
        if (state.autoSendQueue.size() < 2) state.autoSendQueue.push(automatic);
        sender.pass().sendWaiting(state);
    }
}
BENCHMARK(BM_SenderPassWithTheAutoMessageAndItsCheckField);

void BM_SenderPassWithNothingWaiting(benchmark::State& run) {
    serial::BridgeState state;
    LoopbackSender sender;
    for (auto _ : run) sender.pass().sendWaiting(state);
}
BENCHMARK(BM_SenderPassWithNothingWaiting);

}  // namespace

BENCHMARK_MAIN();
