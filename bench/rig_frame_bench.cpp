// Throughput of the rig link's protocol code: the CRC, the frame parser on the mixed stream a
// rig controller sends (status replies, data frames, a fragmented message, some noise), and the
// serial line's framer on the costliest stream a board can send.

#include <benchmark/benchmark.h>

#include <vector>

#include "serial/crc16.h"
#include "serial/frame_parser.h"
#include "serial/line_framer.h"
#include "serial/send_large_or_whole.h"

using namespace tarvelin::serial;

namespace {

Message withCrc(Message frame) {
    const std::uint16_t crc = crc16Arc(frame);
    frame.resize(frame.size() + 2);
    storeCrc(crc, frame.data() + frame.size() - 2);
    return frame;
}

void appendFrame(std::vector<std::uint8_t>& stream, std::span<const std::uint8_t> frame) {
    stream.insert(stream.end(), frame.begin(), frame.end());
}

std::vector<std::uint8_t> mixedStream() {
    std::vector<std::uint8_t> stream;
    Message f8{0xF8, 0xF8};
    f8.resize(36, 0x21);
    Message fb{0xFB, 0xFB};
    fb.resize(76, 0x42);
    Message fe{0xFE, 0xFE, 60, 0};
    fe.resize(64, 0x17);
    Message large{0xFA, 0xFA, 0xAA, 0x04};
    large.resize(1198, 0x33);
    large.insert(large.end(), {0x0A, 0x0D});
    SendContext context{[](void* out, std::span<const std::uint8_t> frame) {
                            appendFrame(*static_cast<std::vector<std::uint8_t>*>(out), frame);
                        },
                        &stream};
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 10; ++i) appendFrame(stream, withCrc(f8));
        appendFrame(stream, withCrc({0xF9, 0xF9, 0x02, 0x00, 28, 3}));
        appendFrame(stream, withCrc(fb));
        appendFrame(stream, withCrc(fe));
        stream.insert(stream.end(), {0x00, 0x13, 0xFE});  // line noise
        if (round % 5 == 0) sendLargeOrWhole(context, large);
    }
    return stream;
}

void crcThroughput(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes(static_cast<std::size_t>(state.range(0)), 0x5A);
    for (auto _ : state) benchmark::DoNotOptimize(crc16Arc(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(crcThroughput)->Arg(36)->Arg(4096);

// The stream arrives in pieces of `range(0)` bytes, as the loop reads them between passes.
void parserThroughput(benchmark::State& state) {
    const std::vector<std::uint8_t> stream = mixedStream();
    const std::size_t piece = static_cast<std::size_t>(state.range(0));
    MessageQueue queue;
    FragmentAssembler assembler(queue);
    std::atomic<std::int32_t> version{0};
    std::vector<std::uint8_t> buffer;
    Message frame;
    for (auto _ : state) {
        for (std::size_t offset = 0; offset < stream.size(); offset += piece) {
            const std::size_t end = std::min(stream.size(), offset + piece);
            buffer.insert(buffer.end(), stream.begin() + static_cast<std::ptrdiff_t>(offset),
                          stream.begin() + static_cast<std::ptrdiff_t>(end));
            FrameParser(buffer, queue, assembler, version);
            while (queue.takeFront(frame)) benchmark::DoNotOptimize(frame.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(parserThroughput)->Arg(50)->Arg(4096);

// The costliest bytes a board can send: a length claim of 3840 bytes on every fourth byte, each
// checked against its CRC once enough bytes have come. One iteration is one loop pass that has
// read `range(0)` such bytes; the time per iteration is what that pass spends on parsing.
void lineFramerOnDenseClaims(benchmark::State& state) {
    const std::size_t perPass = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < perPass) bytes.insert(bytes.end(), {0xFE, 0xFE, 0x00, 0x0F});
    MessageQueue queue;
    std::atomic<std::int32_t> version{0};
    LineFramer framer(queue, version);
    const auto now = LineFramer::Clock::now();
    for (auto _ : state) {
        framer.append(bytes, now);
        framer.parse(now);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * perPass));
}
// 50 bytes: a pass at the line's rate; 512: the most the loop reads in a pass; 16384: what it
// once read.
BENCHMARK(lineFramerOnDenseClaims)->Arg(50)->Arg(512)->Arg(16384);

}  // namespace
BENCHMARK_MAIN();
