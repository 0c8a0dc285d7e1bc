// The cost of one iRacing frame, on a block laid out from a real recording (267 variables, rows
// of 1039 bytes) with a new tick every frame: the pure read (pick the newest buffer, copy it,
// check its tick, read nine values), also when every frame's header changed and the variables
// are looked up again, and the whole reader on a shared-memory block (with its frame timer and
// the gravity split).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "block_feed.h"
#include "games/iracing_reader.h"
#include "iracing_encoder.h"
#include "iracing_recording.h"
#include "platform/named_event.h"

namespace {

using namespace tarvelin;

// A block with the recording's layout and a row from the middle of its lap in buffer 0.
struct RecordedBlock {
    explicit RecordedBlock(std::span<std::uint8_t> bytes) : writer(bytes) {
        std::string error;
        recording = emulator::IRacingRecording::load(emulator::defaultIRacingRecording(), error);
        if (!recording || !writer.setLayout(recording->layout())) {
            std::fprintf(stderr, "iracing_bench: the recording beside the program (iracing_amg.ibt) %s\n", error.c_str());
            std::exit(1);
        }
        writer.setConnected(true);
        writer.writeBuffer(0, recording->row(1000), 1);
    }
    void nextTick() { writer.stampTick(0, ++tick); }

    std::unique_ptr<emulator::IRacingRecording> recording;
    emulator::IRacingBlockWriter writer;
    std::int32_t tick = 1;
};

std::size_t recordedBlockSize() {
    std::string error;
    const auto recording = emulator::IRacingRecording::load(emulator::defaultIRacingRecording(), error);
    return recording ? recording->layout().blockSize() : 0;
}

// With the argument 1 the variable count alternates between two values, so that every frame
// finds a header that changed and walks the table again.
void decodeFrame(benchmark::State& state) {
    const bool headerChanges = state.range(0) != 0;
    std::vector<std::uint8_t> bytes(recordedBlockSize());
    RecordedBlock block(bytes);
    IRacingDecoder decoder;
    GameData record;
    decoder.read(bytes, record);
    for (auto _ : state) {
        block.nextTick();
        if (headerChanges) bytes[24] ^= 1;
        if (decoder.read(bytes, record) != IRacingRead::frame) state.SkipWithError("no frame");
        benchmark::DoNotOptimize(record.channels[rollPosition]);
    }
}
BENCHMARK(decodeFrame)->ArgName("headerChanges")->Arg(0)->Arg(1);

void readerFrame(benchmark::State& state) {
    emulator::SharedBlock shared(IRacingReader::blockName, recordedBlockSize());
    platform::NamedEvent dataValid;
    if (!shared.ready() || !dataValid.create(IRacingReader::eventName)) {
        state.SkipWithError("the block or the event could not be created");
        return;
    }
    RecordedBlock block(shared.bytes());
    IRacingReader reader;
    GameData record;
    reader.opened = reader.startUp();
    reader.read(record);
    for (auto _ : state) {
        block.nextTick();
        if (!reader.read(record)) state.SkipWithError("no frame");
        benchmark::DoNotOptimize(record.channels[lateralAccel]);
    }
}
BENCHMARK(readerFrame);

}  // namespace

BENCHMARK_MAIN();
