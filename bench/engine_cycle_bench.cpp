// The engine cycle's cost and the road of a frame end to end.
//
//  - processCycle: one processing stage (profile selection, evaluation of all slots of both
//    profiles on realistic chains, combination, stale test, soft start, snapshots, publishing
//    of the rig frame to the link's queue and of the rig pose to its block) on BeamNG telemetry
//    from the drive script, with the heap allocations it makes per cycle. Argument 0: the rig
//    safety settings off, as the library starts; 1: a park set and a rate limit on every axis
//    (the example profile's), which the drive's bumps and braking run into.
//  - datagramToRig: the latency from a datagram sent by the telemetry emulator to the last byte
//    of the motion frame carrying it at an emulated rig controller on a pseudo-terminal, through
//    the running game-source thread and bridge loop (median and 99th percentile), with the heap
//    allocations those two threads make while they run (the engine's also handing the fan its
//    byte). Both loops have their own 2 ms period, so how long a frame waits for the bridge
//    depends on how the two happen to be phased: the median differs from run to run by up to
//    one period.
//
// Allocations are counted by replacing the global allocator: per thread, only on the threads
// being measured.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "beamng_encoder.h"
#include "engine/motion_engine.h"
#include "games/beamng_reader.h"
#include "games/gravity_split.h"
#include "platform/posix/com_ports.h"
#include "rig_device.h"
#include "serial/bridge_state.h"
#include "serial/rig_frames.h"
#include "support/allocation_counter.h"
#include "tarvelin/motion.h"
#include "telemetry_emulator.h"

namespace {

using namespace tarvelin;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// --- Shared set-up ---------------------------------------------------------------------------

// Chains of the kind a rig's profile holds: low-passes, high-passes, crops, gains, remaps,
// soft limits, a dynamic low-pass and noise, a few filters deep.
constexpr const char* realisticChains[rigSlotCount] = {
    "GAIN(EMALP(CROP(VALUE;-10;10);20);0.5)",
    "GAIN(EMAHP(EMALP(VALUE;8);400);0.08)",
    "LOGISTIC(EMAHP(GAIN(VALUE;0.1);200);1;2)",
    "GAIN(EMALP(CROP(VALUE;-60;60);10);0.01)",
    "SPIKE(GAIN(VALUE;0.02);1;2;3;0)",
    "EDYNLP(GAIN(VALUE;0.02);0.5;4;0)",
    "GAIN(EMALP(VALUE;30);0.02)",
    "GAIN(EMALP(VALUE;30);-0.02)",
    "GAIN(EMALP(CROP(VALUE;-20;20);50);0.01)",
    "GAIN(EMALP(CROP(VALUE;-20;20);50);0.01)",
    "CROP(REMAP(EMALP(VALUE;10);0;20;0;255);0;255)",
    "GAIN(ABS(VALUE);4)",
    "EMAHP(VALUE;20)",
    "LDYNLP(VALUE;1;3;0)",
    "ROLLOVER(VALUE;180)",
    "NOISE(VALUE;0.01;40;7)",
    "SINUS(VALUE;0.005;12)",
    "NOISE(VALUE;0.002;10;3)",
    "BITSCALESIGNED(VALUE;10;1)",
    "SETVALUE(VALUE;0)",
    "ADD(VALUE;0)",
    "CROP(REMAP(VALUE;0;40;0;100);0;100)",
    "VALUE",
};

void installRealisticRig() {
    for (int profile = 0; profile < 2; ++profile) {
        for (int slot = 0; slot < rigSlotCount; ++slot) {
            setcheckFilterstring(profile, slot, realisticChains[slot]);
            setActiveAxis(profile, slot, true);
        }
    }
    for (int slot = 0; slot < 8; ++slot) SetInputDofLimitValue(slot, -50.0, 50.0);
    for (int slot = 0; slot < 6; ++slot) SetRigDofLimitValue(slot, -1.0, 1.0);
    setBelt_Mix(0, 1, 1.0);
    setBelt_Mix(0, 2, 0.2);
    setBelt_Mix(0, 4, 0.1);
    setBelt_Mix(0, 5, 0.1);
}

// The channels of every frame of one lap of the drive, as the BeamNG reader delivers them.
std::vector<std::array<double, channelCount>> driveChannels() {
    const emulator::DriveScript script;
    std::vector<std::array<double, channelCount>> frames;
    for (int frame = 0; frame < 2900; ++frame) {
        GameData record;
        const auto datagram = emulator::encodeBeamNgFrame(script.at(frame / 100.0));
        applyBeamNgDatagram(datagram, record);
        applyGravitySplit(record, GravityForm::sum);
        frames.push_back(record.channels);
    }
    return frames;
}

void takeAllSnapshots() {
    int count = 0;
    FreeCalculationSnapshots(GetCalculationSnapshots(&count));
    FreeAccelerationSnapshots(GetAccelerationSnapshots(&count));
}

// --- One processing stage --------------------------------------------------------------------

void processCycle(benchmark::State& state) {
    auto& engine = MotionEngine::instance();
    installRealisticRig();
    activateMotionCancel(true);
    const bool safety = state.range(0) != 0;
    setParkDuration(safety ? 2000.0 : 0.0);
    for (int axis = 0; axis < 6; ++axis) SetRigDofRateLimit(axis, safety ? 5.0 : 0.0);
    const auto frames = driveChannels();

    // The engine as its thread leaves it when BeamNG is connected and the rig is ready; the
    // link counts as running, and each cycle's frame is taken off its queue as the bridge would.
    auto& link = serial::bridgeState();
    link.bridgeRunning.store(true);
    engine.gameSource.clearFlags();
    engine.gameSource.activeFlags[indexOf(GameId::beamNg)] = true;
    engine.connected = true;
    engine.outputHeld = false;
    engine.cycleTimer.lastInterval = 2.0 * engine.cycleTimer.ticksPerMs;
    serial::Message taken;
    auto& record = engine.gameData();

    std::size_t cycle = 0;
    auto runOne = [&] {
        record.channels = frames[(cycle / 5) % frames.size()];  // 100 datagrams a second, 500 cycles
        ++cycle;
        engine.processCycle();
        while (link.serialSendQueue.takeFront(taken)) {
        }
        while (link.udpSendQueue.takeFront(taken)) {
        }
    };
    // Warm up: the soft start ends, the queues reach their size, every chain has run.
    for (int i = 0; i < 3000; ++i) runOne();
    takeAllSnapshots();

    test::resetCountedAllocations();
    test::countAllocationsOnThisThread(true);
    for (auto _ : state) {
        runOne();
        if (cycle % 100 == 0) {
            // The host's poll, as often as a host that loses nothing: not part of the cycle.
            test::countAllocationsOnThisThread(false);
            takeAllSnapshots();
            test::countAllocationsOnThisThread(true);
        }
    }
    test::countAllocationsOnThisThread(false);
    state.counters["allocs_per_cycle"] =
        benchmark::Counter(static_cast<double>(test::countedAllocations()) / static_cast<double>(state.iterations()));

    link.bridgeRunning.store(false);
    link.serialSendQueue.clear();
    link.udpSendQueue.clear();
    engine.connected = false;
    engine.outputHeld = true;
    engine.gameSource.clearFlags();
    activateMotionCancel(false);
    setParkDuration(0.0);
    for (int axis = 0; axis < 6; ++axis) SetRigDofRateLimit(axis, 0.0);
}
BENCHMARK(processCycle)->Arg(0)->Arg(1);

// --- Datagram to rig -------------------------------------------------------------------------

// The six motion floats of a frame.
std::array<float, 6> motionFloats(const std::uint8_t* frame) {
    std::array<float, 6> values;
    std::memcpy(values.data(), frame + 2, sizeof values);
    return values;
}

void datagramToRig(benchmark::State& state) {
    auto& engine = MotionEngine::instance();
    // Pass-through chains on the six motion slots of the AIR profile, so that a frame shows at
    // once which datagram it was computed from; a steady wind for the fan; every other slot is
    // switched off.
    for (int profile = 0; profile < 2; ++profile) {
        for (int slot = 0; slot < rigSlotCount; ++slot) {
            const bool passThrough = profile == 0 && slot < 6;
            if (passThrough) setcheckFilterstring(profile, slot, "VALUE");
            setActiveAxis(profile, slot, passThrough || (profile == 0 && slot == 21));
        }
    }
    setcheckFilterstring(0, 21, "ADD(VALUE;40)");
    for (int slot = 0; slot < 8; ++slot) SetInputDofLimitValue(slot, -1.0e6, 1.0e6);
    for (int slot = 0; slot < 6; ++slot) SetRigDofLimitValue(slot, -1.0e6, 1.0e6);

    // The rig controller on a pseudo-terminal behind COM5.
    const auto links = platform::posix::comLinkFolder();
    std::filesystem::create_directories(links);
    rig_emulator::RigDevice rig(links / "com5");
    if (!rig.attach()) {
        state.SkipWithError("no pseudo-terminal for the rig");
        return;
    }
    rig.setReply(rig_emulator::Bytes(serial::identificationReplyId1.begin(), serial::identificationReplyId1.end()), false);
    // The fan controller on another, so that the engine's cycle hands over its byte as well.
    rig_emulator::RigDevice fan(links / "com8");
    if (!fan.attach() || !initWindSerial(L"COM8", 9600, L"8N1", 5)) {
        state.SkipWithError("no pseudo-terminal for the fan");
        return;
    }
    disableAutoconnect();
    setUsbChipCheck(0);  // a pseudo-terminal is on no USB chip
    setStandartPort("COM5");
    std::thread bridge([] { startMMFtoSerial_Thread(); });
    while (!serial::bridgeState().bridgeRunning.load()) std::this_thread::sleep_for(1ms);
    if (resumeInterface() != 1) {
        stopMMFtoSerial_Thread();
        bridge.join();
        state.SkipWithError("the rig did not answer");
        return;
    }

    // The game: the emulator sends each datagram itself, so that its departure is known.
    emulator::TelemetryEmulator game(emulator::beamNgEncoder);
    const emulator::DriveScript& script = game.script();
    std::atomic<bool> keepAlive{true};
    std::thread searching([&] {
        // A stream for the engine to find while it searches, until the measurement begins.
        for (int frame = 0; keepAlive.load(); ++frame) {
            game.sendFrame(1.0 + frame / 100.0);
            std::this_thread::sleep_for(10ms);
        }
    });
    startGamesource_Thread();
    while (getGameID() != 12) std::this_thread::sleep_for(5ms);
    setMotionsystemready(1);
    while (getTransitionStatus() < 100.0) std::this_thread::sleep_for(10ms);
    keepAlive.store(false);
    searching.join();

    test::watchThread(0, engine.gameSourceThread.get_id());
    test::watchThread(1, bridge.get_id());
    test::resetWatchedThreadAllocations(0);
    test::resetWatchedThreadAllocations(1);
    takeAllSnapshots();
    std::size_t cycles = 0;

    std::vector<double> latencies;
    int lost = 0;
    std::array<float, 6> previous{};
    for (auto _ : state) {
        for (int sample = 0; sample < 1000; ++sample) {
            // The launch, over and over: every datagram differs from the one before, so the
            // telemetry never stands still long enough to freeze the cues.
            const double time = 1.5 + (sample % 600) / 100.0;
            GameData expected;
            const auto datagram = emulator::encodeBeamNgFrame(script.at(time));
            applyBeamNgDatagram(datagram, expected);
            applyGravitySplit(expected, GravityForm::sum);
            const Channel sources[6] = {lateralAccelG, longitudinalAccelG, verticalAccelG, yawSpeed, rollSpeed, pitchSpeed};
            std::array<float, 6> wanted;
            for (int axis = 0; axis < 6; ++axis) wanted[axis] = static_cast<float>(expected.channels[sources[axis]]);

            const auto sent = Clock::now();
            game.sendFrame(time);
            // A datagram that changes no float cannot be told apart on the line.
            const bool distinct = wanted != previous;
            previous = wanted;
            bool arrived = false;
            while (distinct && Clock::now() - sent < 100ms) {
                const auto last = rig.lastFrame();
                if (last.bytes.size() == 36 && last.bytes[0] == 0xFC && motionFloats(last.bytes.data()) == wanted &&
                    last.arrival >= sent) {
                    latencies.push_back(std::chrono::duration<double, std::milli>(last.arrival - sent).count());
                    arrived = true;
                    break;
                }
                std::this_thread::sleep_for(100us);
            }
            if (distinct && !arrived) ++lost;
            int count = 0;
            CalculationSnapshot* records = GetCalculationSnapshots(&count);
            cycles += static_cast<std::size_t>(count);
            FreeCalculationSnapshots(records);
            FreeAccelerationSnapshots(GetAccelerationSnapshots(&count));
            std::this_thread::sleep_until(sent + 10ms);  // the game's 100 datagrams a second
        }
    }
    const long engineAllocations = test::watchedThreadAllocations(0);
    const long bridgeAllocations = test::watchedThreadAllocations(1);
    test::watchThread(0, std::thread::id());
    test::watchThread(1, std::thread::id());

    stopGamesource_Thread();
    setMotionsystemready(0);
    stopMMFtoSerial_Thread();
    bridge.join();

    std::sort(latencies.begin(), latencies.end());
    auto percentile = [&](double p) {
        if (latencies.empty()) return 0.0;
        return latencies[std::min(latencies.size() - 1, static_cast<std::size_t>(p * static_cast<double>(latencies.size())))];
    };
    state.counters["median_ms"] = percentile(0.5);
    state.counters["p99_ms"] = percentile(0.99);
    state.counters["max_ms"] = latencies.empty() ? 0.0 : latencies.back();
    state.counters["samples"] = static_cast<double>(latencies.size());
    state.counters["lost"] = lost;
    state.counters["engine_cycles"] = static_cast<double>(cycles);
    state.counters["engine_allocs_per_cycle"] =
        cycles == 0 ? 0.0 : static_cast<double>(engineAllocations) / static_cast<double>(cycles);
    state.counters["bridge_allocs"] = static_cast<double>(bridgeAllocations);
    state.counters["fan_bytes"] = static_cast<double>(fan.bytes().size());
}
BENCHMARK(datagramToRig)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // The rig's COM link and the error log go to a private data folder, not the user's.
    char folder[] = "/tmp/tarvelin-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return 1;
    ::setenv("XDG_DATA_HOME", folder, 1);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
