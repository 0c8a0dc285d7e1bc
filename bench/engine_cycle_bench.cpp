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
//    the running game-source thread and bridge loop, with the heap allocations those two
//    threads make while they run (the engine's also handing the fan its byte). The paced and the
//    low-latency mode take turns in blocks of the same run; for each come the median, 99th
//    percentile and maximum, the lost samples, the processor time of the two threads per second,
//    the cycles per second and the shortest and longest cycle. Paced, both loops have their own
//    2 ms period, so how long a frame waits for the bridge depends on how the two happen to be
//    phased: the paced median differs from run to run by up to one period. A pseudo-terminal
//    has no baud rate: the 1.44 ms a frame takes on a real 250000-baud line come on top.
//
// Allocations are counted by replacing the global allocator: per thread, only on the threads
// being measured.

#include <benchmark/benchmark.h>
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
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

// Takes every record the engine kept and returns how many cycles they stand for.
std::size_t takeAllSnapshots() {
    int count = 0;
    FreeCalculationSnapshots(GetCalculationSnapshots(&count));
    const auto cycles = static_cast<std::size_t>(count);
    FreeAccelerationSnapshots(GetAccelerationSnapshots(&count));
    return cycles;
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

// What one mode showed over its blocks of samples.
struct ModeFigures {
    std::vector<double> latencies;  // ms, datagram sent to motion frame at the rig
    std::vector<double> periods;    // ms, the cycle lengths seen
    int lost = 0;                   // datagrams whose frame never came within 100 ms
    double cpuSeconds = 0.0;        // of the engine's thread and the bridge's together
    double seconds = 0.0;
    std::size_t cycles = 0;
};

// The processor time a thread of this process has used so far.
double threadCpuSeconds(std::thread::native_handle_type thread) {
    clockid_t clock{};
    if (pthread_getcpuclockid(thread, &clock) != 0) return 0.0;
    timespec used{};
    clock_gettime(clock, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

// The element at fraction `p` of the sorted values, or 0 without any.
double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())))];
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
    const auto engineThread = engine.gameSourceThread.native_handle();
    const auto bridgeThread = bridge.native_handle();

    // The two modes take turns in blocks, so that both see the same machine, however its load
    // changes during the run.
    constexpr int blocksPerMode = 4;
    constexpr int samplesPerBlock = 250;
    std::array<ModeFigures, 2> modes;
    std::array<float, 6> previous{};
    int sample = 0;
    for (auto _ : state) {
        for (int block = 0; block < 2 * blocksPerMode; ++block) {
            const int mode = block % 2;
            setLowLatency(mode);
            std::this_thread::sleep_for(100ms);  // the new mode settles
            takeAllSnapshots();
            ModeFigures& figures = modes[static_cast<std::size_t>(mode)];
            const auto blockBegins = Clock::now();
            const double cpuBefore = threadCpuSeconds(engineThread) + threadCpuSeconds(bridgeThread);
            double lastInterval = engine.cycleTimer.lastInterval.load();
            for (int i = 0; i < samplesPerBlock; ++i, ++sample) {
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
                // Until the game's next datagram is due, the rig is watched for the frame and
                // the engine for the length of each cycle.
                while (Clock::now() - sent < 10ms) {
                    const double interval = engine.cycleTimer.lastInterval.load();
                    if (interval != lastInterval) {
                        figures.periods.push_back(interval / engine.cycleTimer.ticksPerMs);
                        lastInterval = interval;
                    }
                    const auto last = rig.lastFrame();
                    if (distinct && !arrived && last.bytes.size() == 36 && last.bytes[0] == 0xFC &&
                        motionFloats(last.bytes.data()) == wanted && last.arrival >= sent) {
                        figures.latencies.push_back(std::chrono::duration<double, std::milli>(last.arrival - sent).count());
                        arrived = true;
                    }
                    std::this_thread::sleep_for(100us);
                }
                if (distinct && !arrived) {
                    // Late, but perhaps not lost: the rest of the 100 ms it may take.
                    while (Clock::now() - sent < 100ms && !arrived) {
                        const auto last = rig.lastFrame();
                        arrived = last.bytes.size() == 36 && motionFloats(last.bytes.data()) == wanted && last.arrival >= sent;
                        if (arrived) figures.latencies.push_back(std::chrono::duration<double, std::milli>(last.arrival - sent).count());
                        std::this_thread::sleep_for(100us);
                    }
                    if (!arrived) ++figures.lost;
                }
                // The engine keeps its last 150 records (300 ms): take them every 100 ms or so.
                if (i % 10 == 9) figures.cycles += takeAllSnapshots();
            }
            figures.cpuSeconds += threadCpuSeconds(engineThread) + threadCpuSeconds(bridgeThread) - cpuBefore;
            figures.seconds += std::chrono::duration<double>(Clock::now() - blockBegins).count();
            figures.cycles += takeAllSnapshots();
        }
    }
    const long engineAllocations = test::watchedThreadAllocations(0);
    const long bridgeAllocations = test::watchedThreadAllocations(1);
    test::watchThread(0, std::thread::id());
    test::watchThread(1, std::thread::id());

    setLowLatency(0);
    stopGamesource_Thread();
    setMotionsystemready(0);
    stopMMFtoSerial_Thread();
    bridge.join();

    const char* const names[2] = {"paced_", "low_"};
    for (std::size_t mode = 0; mode < modes.size(); ++mode) {
        const ModeFigures& figures = modes[mode];
        const std::string name = names[mode];
        state.counters[name + "median_ms"] = percentile(figures.latencies, 0.5);
        state.counters[name + "p99_ms"] = percentile(figures.latencies, 0.99);
        state.counters[name + "max_ms"] = percentile(figures.latencies, 1.0);
        state.counters[name + "lost"] = figures.lost;
        state.counters[name + "cpu_ms_per_s"] = figures.seconds > 0.0 ? 1000.0 * figures.cpuSeconds / figures.seconds : 0.0;
        state.counters[name + "cycles_per_s"] = figures.seconds > 0.0 ? static_cast<double>(figures.cycles) / figures.seconds : 0.0;
        state.counters[name + "period_min_ms"] = percentile(figures.periods, 0.0);
        state.counters[name + "period_p99_ms"] = percentile(figures.periods, 0.99);
        state.counters[name + "period_max_ms"] = percentile(figures.periods, 1.0);
    }
    state.counters["samples"] = static_cast<double>(modes[0].latencies.size() + modes[1].latencies.size());
    const std::size_t cycles = modes[0].cycles + modes[1].cycles;
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
