// The low-latency mode on the whole road: the telemetry emulator playing BeamNG, the engine's
// cycle started by the game's datagrams, the bridge woken to send each frame as soon as it is
// queued, and the rig controller emulator on a pseudo-terminal. Under Wine the cycle waits on a
// Winsock socket and the bridge on a Win32 event.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "beamng_encoder.h"
#include "engine/motion_engine.h"
#include "serial/support/link_fixture.h"
#include "tarvelin/motion.h"
#include "telemetry_emulator.h"

namespace tarvelin::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Axes = std::array<float, 6>;

constexpr const char* rigBoard = "com5";
constexpr double travel = 2.0;  // every axis from -1 to 1

struct TimedFrame {
    double milliseconds;  // when its last byte reached the board
    Axes axes;
};

// Smoothing chains, as a rig's are: the cycle that reads a datagram a millisecond earlier or
// later then changes the motion by a small fraction of a step of the telemetry.
void installSmoothRig() {
    const char* const chains[6] = {"GAIN(EMALP(VALUE;10);0.1)", "GAIN(EMALP(VALUE;10);0.1)",
                                   "GAIN(EMALP(ADD(VALUE;-9.8);10);0.1)", "GAIN(EMALP(VALUE;10);0.02)",
                                   "GAIN(EMALP(VALUE;10);0.05)", "GAIN(EMALP(VALUE;10);0.05)"};
    for (int slot = 0; slot < rigSlotCount; ++slot) {
        const bool motion = slot < 6;
        if (motion) {
            ASSERT_EQ(setcheckFilterstring(0, slot, chains[slot]), 1);
        }
        setActiveAxis(0, slot, motion);
        setActiveAxis(1, slot, false);
    }
    for (int slot = 0; slot < 8; ++slot) SetInputDofLimitValue(slot, -100.0, 100.0);
    for (int slot = 0; slot < 6; ++slot) SetRigDofLimitValue(slot, -1.0, 1.0);
}

// Pass-through chains on the motion axes, limits that clamp nothing: a frame changes only when
// the engine has read a new datagram, so the first frame that changes after a send is its own.
void installPassThroughRig() {
    for (int slot = 0; slot < 6; ++slot) {
        ASSERT_EQ(setcheckFilterstring(0, slot, "VALUE"), 1);
        SetRigDofLimitValue(slot, -1.0e6, 1.0e6);
    }
}

// The median of `values` (which it sorts), or infinity without any.
double median(std::vector<double>& values) {
    if (values.empty()) return INFINITY;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The fewest cycles a second a running engine may show here. The schedule gives 500, exactly
// (the schedule's own test counts them); but a loaded machine delays the engine's wake-ups, and
// under Wine its thread has no raised priority and sleeps in whole milliseconds, which cost a
// loaded machine a third or more of the cycles. A cycle that waited for frames that do not come
// would run a few times a second at most.
constexpr double fewestCyclesPerSecond = 150.0;

// Cycles the engine ran since the last call, counted from its calculation records.
std::size_t cyclesSinceLastCall() {
    int count = 0;
    FreeCalculationSnapshots(GetCalculationSnapshots(&count));
    FreeAccelerationSnapshots(GetAccelerationSnapshots(&count));
    return static_cast<std::size_t>(count);
}

// Engine cycles a second over `duration`, taking the records often enough that none is lost.
double cyclesPerSecond(Clock::duration duration) {
    cyclesSinceLastCall();
    const auto begin = Clock::now();
    std::size_t cycles = 0;
    while (Clock::now() - begin < duration) {
        std::this_thread::sleep_for(50ms);
        cycles += cyclesSinceLastCall();
    }
    return static_cast<double>(cycles) / std::chrono::duration<double>(Clock::now() - begin).count();
}

class LowLatency : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        ASSERT_TRUE(game.ready());
        startBridge();
        connectOnStandardPort(5);
        installSmoothRig();
        setMotionsystemready(1);
    }

    void TearDown() override {
        stopGamesource_Thread();
        game.stop();
        setLowLatency(0);
        setMotionsystemready(0);
        // The engine is one per process: the slots switched off here would silence the next
        // test's fan and effects.
        for (int slot = 0; slot < rigSlotCount; ++slot) {
            setActiveAxis(0, slot, true);
            setActiveAxis(1, slot, true);
        }
        LinkFixture::TearDown();
    }

    // Plays the drive from `scriptTime` until the engine follows it and its soft start is over.
    void playUntilLive(double scriptTime) {
        game.seek(scriptTime);
        game.start();
        startGamesource_Thread();
        ASSERT_TRUE(waitFor([] { return getGameID() == 12 && getTransitionStatus() == 100.0; }, 30s)) << "BeamNG never came live";
    }

    void switchMode(int mode) {
        ASSERT_EQ(setLowLatency(mode), 1);
        // 2: chosen, but the cycle has not followed a frame yet.
        ASSERT_TRUE(waitFor([mode] { return getLowLatency() == mode; })) << "mode " << mode << " never took effect";
    }

    // The motion frames that reach the rig while the drive plays for `length` from `scriptTime`
    // again, without a pause long enough to freeze the cues. A machine that stalls the road
    // leaves gaps in the frames; the recording with the fewest of a few attempts is kept.
    std::vector<TimedFrame> replay(double scriptTime, std::chrono::milliseconds length) {
        std::vector<TimedFrame> kept;
        std::size_t fewestGaps = SIZE_MAX;
        for (int attempt = 0; attempt < 3 && fewestGaps > 0; ++attempt) {
            auto frames = record(scriptTime, length);
            std::size_t gaps = 0;
            for (std::size_t i = 1; i < frames.size(); ++i) gaps += frames[i].milliseconds - frames[i - 1].milliseconds > 6.0 ? 1 : 0;
            if (frames.size() > 100 && gaps < fewestGaps) {
                fewestGaps = gaps;
                kept = std::move(frames);
            }
        }
        return kept;
    }

    std::vector<TimedFrame> record(double scriptTime, std::chrono::milliseconds length) {
        game.stop();
        game.seek(scriptTime);
        boards().clear(rigBoard);
        game.start();
        std::this_thread::sleep_for(length);
        std::vector<double> times;
        const Bytes bytes = boards().received(rigBoard, &times);
        std::vector<TimedFrame> frames;
        for (std::size_t i = 0; i + 36 <= bytes.size();) {
            if (bytes[i] != 0xFC || bytes[i + 1] != 0xFC) {
                ++i;
                continue;
            }
            TimedFrame frame{times[i + 35], {}};
            std::memcpy(frame.axes.data(), &bytes[i + 2], sizeof frame.axes);
            frames.push_back(frame);
            i += 36;
        }
        return frames;
    }

    // Milliseconds from each of `samples` datagrams to the first motion frame at the rig that
    // differs from the one before the send, as the test sees both (its polling of the board adds
    // the same to either mode). The datagrams come every 10 ms and a fraction, so that they fall
    // on every phase of the engine's 2 ms cycle.
    std::vector<double> datagramToRigMs(int samples) {
        std::vector<double> latencies;
        for (int sample = 0; sample < samples; ++sample) {
            const Bytes before = boards().lastFrame(rigBoard).bytes;
            const auto sent = Clock::now();
            game.sendFrame(12.4 + 0.02 * (sample % 100));  // into the corner: every axis moves
            while (Clock::now() - sent < 50ms) {
                const Bytes now = boards().lastFrame(rigBoard).bytes;
                if (now.size() == 36 && now != before) {
                    latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                    break;
                }
            }
            std::this_thread::sleep_until(sent + 10ms + std::chrono::microseconds(370 * (sample % 6)));
        }
        return latencies;
    }

    emulator::TelemetryEmulator game{emulator::beamNgEncoder};
};

// How far, in rig units, the frames of one mode lie from those of the other at the same moment
// of the drive, once the two recordings are shifted by the lag that brings them closest; and how
// many frames were compared. The paced mode reads a datagram up to a cycle later than the
// low-latency mode, by an amount that changes from frame to frame, so each frame is compared with
// the other mode's within a cycle of that moment. The start of each recording is left out, where
// the filters still carry what came before. The figure is the 90th percentile over the frames:
// a loaded machine that stalls the engine or the rig emulator for a moment spoils the stretch
// around it, while a mode that moved the rig otherwise would differ nearly everywhere.
std::pair<double, std::size_t> differenceOnceAligned(const std::vector<TimedFrame>& a, const std::vector<TimedFrame>& b) {
    if (a.size() < 100 || b.size() < 100) return {INFINITY, 0};
    auto at = [&b](double milliseconds) {
        const auto after = std::upper_bound(b.begin(), b.end(), milliseconds,
                                            [](double t, const TimedFrame& frame) { return t < frame.milliseconds; });
        return after == b.begin() ? b.front().axes : std::prev(after)->axes;
    };
    auto difference = [](const Axes& x, const Axes& y) {
        double largest = 0.0;
        for (std::size_t axis = 0; axis < x.size(); ++axis) largest = std::max(largest, static_cast<double>(std::abs(x[axis] - y[axis])));
        return largest;
    };
    constexpr double cycleMs = 2.0;
    std::pair<double, std::size_t> best{INFINITY, 0};
    std::vector<double> differences;
    for (double lag = -40.0; lag <= 40.0; lag += 0.5) {
        const double shift = b.front().milliseconds - a.front().milliseconds + lag;
        differences.clear();
        for (const TimedFrame& frame : a) {
            if (frame.milliseconds < a.front().milliseconds + 300.0 || frame.milliseconds > a.back().milliseconds - 50.0) continue;
            double closest = INFINITY;
            for (double near = -cycleMs; near <= cycleMs; near += 0.25) {
                closest = std::min(closest, difference(frame.axes, at(frame.milliseconds + shift + near)));
            }
            differences.push_back(closest);
        }
        if (differences.empty()) continue;
        const auto ninetieth = differences.begin() + static_cast<std::ptrdiff_t>(differences.size() * 9 / 10);
        std::nth_element(differences.begin(), ninetieth, differences.end());
        if (*ninetieth < best.first) best = {*ninetieth, differences.size()};
    }
    return best;
}

TEST_F(LowLatency, TheMotionIsTheSameInBothModesAndTheModeSwitchesWhileRunning) {
    playUntilLive(12.4);
    ASSERT_EQ(getLowLatency(), 0) << "the paced mode is the default";
    EXPECT_EQ(MotionEngine::instance().gameSource.activeGame(), GameId::beamNg);
    // The braking into the corner: every axis moves. The filters step once a cycle, so the
    // motion is the same only where both modes ran their cycles: a round in which the machine
    // starved the engine (a sanitizer's or Wine's build beside a compile) judges nothing, and
    // another round follows.
    std::pair<double, std::size_t> closest{INFINITY, 0};
    double fewestRate = 0.0;  // the slower mode's rate in the round with the most cycles
    for (int round = 0; round < 3 && !(closest.first <= 0.01 * travel); ++round) {
        switchMode(0);
        const auto paced = replay(12.4, 2000ms);
        const double pacedRate = cyclesPerSecond(1s);
        switchMode(1);
        const auto low = replay(12.4, 2000ms);
        const double lowRate = cyclesPerSecond(1s);
        // 500 cycles a second in either mode; the schedule never allows more.
        EXPECT_LE(pacedRate, 510.0);
        EXPECT_LE(lowRate, 510.0);
        fewestRate = std::max(fewestRate, std::min(pacedRate, lowRate));
        if (std::min(pacedRate, lowRate) >= 400.0) closest = std::min(closest, differenceOnceAligned(low, paced));
    }

    switchMode(0);
    const std::size_t before = boards().lastFrame(rigBoard).number;
    EXPECT_TRUE(waitFor([&] { return boards().lastFrame(rigBoard).number > before + 100; })) << "frames stopped after the switch back";
    if (fewestRate < 400.0) GTEST_SKIP() << "the machine never gave the engine its cycles (" << fewestRate << " a second)";
    EXPECT_LE(closest.first, 0.01 * travel);
    EXPECT_GE(closest.second, 100u) << "too few frames recorded";
}

TEST_F(LowLatency, ASilentGameStillGetsItsCyclesAndIsGivenUpAsLateAsInThePacedMode) {
    for (const int mode : {0, 1}) {
        SCOPED_TRACE(mode == 1 ? "low latency" : "paced");
        ASSERT_EQ(setLowLatency(mode), 1);
        playUntilLive(5.0);
        ASSERT_TRUE(waitFor([mode] { return getLowLatency() == mode; }));
        game.stop();
        const auto silent = Clock::now();
        const double rate = cyclesPerSecond(1s);
        EXPECT_GE(rate, fewestCyclesPerSecond) << "the cycle waits for frames that do not come";
        EXPECT_LE(rate, 510.0);
        // A thousand cycles without a frame: two seconds in either mode, or as many more as a
        // loaded machine's slower cycles take.
        ASSERT_TRUE(waitFor([] { return getGameID() == -1; }, 30s));
        const double givenUpAfter = std::chrono::duration<double>(Clock::now() - silent).count();
        EXPECT_GE(givenUpAfter, 1.9);
        EXPECT_LE(givenUpAfter, 1.5 * 1001.0 / std::min(rate, 500.0) + 1.0);
        stopGamesource_Thread();
    }
}

// The point of the mode: the datagram's motion reaches the rig sooner. A paced datagram waits for
// the next cycle and the frame for the link's next pass, a millisecond each on average; the
// low-latency mode takes both waits away. The modes take turns, so that both see the same load,
// and a loaded machine gets a few rounds to show the difference.
TEST_F(LowLatency, FramesReachTheRigSoonerThanPaced) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a timing comparison; the sanitizers' builds run the same paths in the other tests";
#endif
    installPassThroughRig();
    playUntilLive(12.4);
    game.stop();
    double pacedMs = 0.0;
    double lowMs = 0.0;
    for (int round = 0; round < 3; ++round) {
        switchMode(0);
        auto paced = datagramToRigMs(100);
        switchMode(1);
        auto low = datagramToRigMs(100);
        ASSERT_GE(paced.size(), 50u) << "datagrams never reached the rig";
        ASSERT_GE(low.size(), 50u) << "datagrams never reached the rig";
        pacedMs = median(paced);
        lowMs = median(low);
        if (lowMs < pacedMs - 0.5) break;
    }
    EXPECT_LT(lowMs, pacedMs - 0.5) << "median paced " << pacedMs << " ms, low latency " << lowMs << " ms";
}

TEST_F(LowLatency, AFloodOfDatagramsStarvesNeitherTheLinkNorTheHost) {
    ASSERT_EQ(setLowLatency(1), 1);
    playUntilLive(5.0);
    ASSERT_TRUE(waitFor([] { return getLowLatency() == 1; }));
    game.stop();
    // Ten times BeamNG's rate, each datagram a new frame of the drive.
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        for (int frame = 0; flooding.load(); ++frame) {
            game.sendFrame(5.0 + frame / 1000.0);
            std::this_thread::sleep_for(1ms);
        }
    });
    std::atomic<long> hostCalls{0};
    std::atomic<double> shortestCycleMs{INFINITY};
    std::thread host([&] {
        unsigned char frame[TARVELIN_RIG_FRAME_BYTES];
        while (flooding.load()) {
            getOutputData(frame);
            // The flood offers a frame at every moment: the cycles come as close as the engine
            // lets them.
            const double cycleMs = getMotionDataTimeFrame();
            if (hostCalls.load() > 0 && cycleMs < shortestCycleMs.load()) shortestCycleMs.store(cycleMs);
            hostCalls.fetch_add(1);
            std::this_thread::sleep_for(100us);
        }
    });
    std::this_thread::sleep_for(200ms);
    const std::size_t framesBefore = boards().lastFrame(rigBoard).number;
    const long callsBefore = hostCalls.load();
    const auto begin = Clock::now();
    const double rate = cyclesPerSecond(2s);
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    const double framesPerSecond = static_cast<double>(boards().lastFrame(rigBoard).number - framesBefore) / seconds;
    const double callsPerSecond = static_cast<double>(hostCalls.load() - callsBefore) / seconds;
    flooding.store(false);
    flood.join();
    host.join();

    EXPECT_LE(rate, 510.0) << "the flood drove the cycle beyond its 500 a second";
    EXPECT_GE(rate, fewestCyclesPerSecond);
    EXPECT_GE(framesPerSecond, 0.9 * rate) << "the link fell behind the engine";
    EXPECT_GE(callsPerSecond, 100.0) << "the host's calls were held up";
    EXPECT_GE(shortestCycleMs.load(), 0.99) << "two cycles closer than 1 ms";
    EXPECT_EQ(getGameID(), 12);
}

}  // namespace
}  // namespace tarvelin::test
