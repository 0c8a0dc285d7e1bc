// Rig safety with real parts: BeamNG telemetry on its port of the loopback interface, the
// engine, the real bridge writing to an emulated rig controller on a pseudo-terminal and the fan
// controller on another. What the rig receives, frame by frame, must never move an axis faster
// than its rate limit, however the telemetry jumps; the park must bring the rig back to neutral
// when the game is lost and when the engine stops, and no frame may reach it while it is not
// ready or parked without a game.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "beamng_encoder.h"
#include "engine/motion_engine.h"
#include "games/game_channels.h"
#include "serial/bridge_state.h"
#include "serial/support/link_fixture.h"
#include "support/loopback.h"
#include "tarvelin/motion.h"
#include "telemetry_emulator.h"

namespace tarvelin::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* rigBoard = "com5";
constexpr const char* fanBoard = "com8";
constexpr double rateLimit = 5.0;                  // rig units per second, on every axis
constexpr float largestStep = static_cast<float>(rateLimit * 0.002 + 1e-6);  // per 2 ms cycle, with float rounding
constexpr double parkMs = 500.0;

struct MotionFrame {
    float axes[6];
    std::uint32_t belt;
    std::uint32_t wind;
};

MotionFrame decode(const Bytes& frame) {
    MotionFrame motion{};
    std::memcpy(motion.axes, frame.data() + 2, sizeof motion.axes);  // little-endian on every build
    for (int i = 0; i < 4; ++i) {
        motion.belt = motion.belt << 8 | frame[26 + i];
        motion.wind = motion.wind << 8 | frame[30 + i];
    }
    return motion;
}

bool atNeutral(const MotionFrame& frame) {
    return std::all_of(std::begin(frame.axes), std::end(frame.axes), [](float axis) { return axis == 0.0f; }) &&
           frame.belt == 0 && frame.wind == 0;
}

// The largest change of any axis from one frame to the next.
float largestChange(const std::vector<MotionFrame>& frames) {
    float largest = 0.0f;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        for (int axis = 0; axis < 6; ++axis) largest = std::max(largest, std::abs(frames[i].axes[axis] - frames[i - 1].axes[axis]));
    }
    return largest;
}

class RigSafety : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        bench().attach(8);
        startBridge();
        connectOnStandardPort(5);
        // Memoryless chains, the motion axes held off neutral by offsets, a belt and a wind.
        const char* chains[][2] = {
            {"0", "GAIN(VALUE;0.125)"},        {"1", "ADD(GAIN(VALUE;0.05);0.4)"},
            {"2", "ADD(GAIN(VALUE;0.02);-0.5)"}, {"3", "GAIN(VALUE;0.01)"},
            {"4", "ADD(GAIN(VALUE;0.01);0.3)"},  {"5", "GAIN(VALUE;0.01)"},
            {"10", "ADD(VALUE;300)"},          {"21", "ADD(VALUE;50)"},
        };
        for (const auto& chain : chains) ASSERT_EQ(setcheckFilterstring(0, std::atoi(chain[0]), chain[1]), 1) << chain[1];
        for (int slot = 0; slot < 8; ++slot) SetInputDofLimitValue(slot, -60.0, 60.0);
        for (int axis = 0; axis < 6; ++axis) {
            SetRigDofLimitValue(axis, -1.0, 1.0);
            ASSERT_EQ(SetRigDofRateLimit(axis, rateLimit), 1);
        }
        ASSERT_EQ(setParkDuration(parkMs), 1);
        ASSERT_TRUE(initWindSerial(L"COM8", 9600, L"8N1", 5));
    }

    void TearDown() override {
        stopGamesource_Thread();
        setMotionsystemready(0);
        setParkDuration(0.0);
        for (int axis = 0; axis < 6; ++axis) SetRigDofRateLimit(axis, 0.0);
        LinkFixture::TearDown();
    }

    std::vector<MotionFrame> motionFrames() {
        std::vector<MotionFrame> frames;
        for (const Bytes& frame : boards().frames(rigBoard)) {
            if (frame.size() == 36 && frame[0] == 0xFC) frames.push_back(decode(frame));
        }
        return frames;
    }

    std::size_t motionFrameCount() { return motionFrames().size(); }
};

TEST_F(RigSafety, ASpikeMovesNoAxisFasterThanItsRateLimit) {
    // The drive, datagram by datagram at the game's 100 a second, with a crash in the middle:
    // 400 m/s² sideways (to the left) for 50 ms.
    const emulator::DriveScript script;
    std::atomic<bool> sending{true};
    std::atomic<int> spike{-1};
    std::atomic<int> sent{0};
    std::thread game([&] {
        UdpPeer peer;
        auto next = std::chrono::steady_clock::now();
        for (int frame = 0; sending.load(); sent.store(++frame)) {
            emulator::VehicleMotion motion = script.at(3.0 + frame / 100.0);  // the launch, straight on
            const int spikeFrom = spike.load();
            if (spikeFrom >= 0 && frame >= spikeFrom && frame < spikeFrom + 5) motion.lateralAccel = -400.0;
            const auto datagram = emulator::encodeBeamNgFrame(motion);
            peer.sendTo(games::beamNgPort, std::vector<std::uint8_t>(datagram.begin(), datagram.end()));
            next += 10ms;
            std::this_thread::sleep_until(next);
        }
    });
    setMotionsystemready(1);
    startGamesource_Thread();
    ASSERT_TRUE(waitFor([] { return MotionEngine::instance().connected.load(); }, 30s)) << "BeamNG was not found";
    ASSERT_TRUE(waitFor([] { return getTransitionStatus() >= 25.0; }, 30s));
    const std::size_t before = motionFrameCount();
    spike.store(sent.load() + 1);
    std::this_thread::sleep_for(1s);
    sending.store(false);
    game.join();
    const std::size_t after = motionFrameCount();
    stopGamesource_Thread();  // and parks the rig

    const std::vector<MotionFrame> frames = motionFrames();
    ASSERT_GT(frames.size(), before + 300);
    float lateral = 1.0f;
    EXPECT_LE(largestChange(frames), largestStep);
    for (std::size_t i = before; i < after; ++i) lateral = std::min(lateral, frames[i].axes[0]);
    // Unlimited, the crash would have thrown the lateral axis to its rig limit within a frame;
    // held to 0.01 a frame for the spike's 25 cycles (fewer where cycles run late) it moves by
    // a quarter at most, a little more where the soft start moves it as well.
    EXPECT_LT(lateral, frames[before].axes[0] - 0.02f) << "the spike never reached the rig";
    EXPECT_GT(lateral, frames[before].axes[0] - 0.35f);
    EXPECT_EQ(boards().counts(rigBoard).badFrames, 0u);
}

TEST_F(RigSafety, TheRigIsParkedWhenTheGameIsLostAndWhenTheEngineStops) {
    emulator::TelemetryEmulator game(emulator::beamNgEncoder);
    ASSERT_TRUE(game.ready());
    game.seek(12.4);  // into the corner
    game.start();
    startGamesource_Thread();
    ASSERT_TRUE(waitFor([] { return MotionEngine::instance().connected.load(); }, 30s)) << "BeamNG was not found";
    // Connected, but the rig is not ready: nothing is sent.
    boards().clear(rigBoard);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(motionFrameCount(), 0u) << "frames went out before the rig was ready";
    setMotionsystemready(1);
    ASSERT_TRUE(waitFor([] { return getTransitionStatus() >= 40.0; }, 30s));

    // The game goes away: after its thousand failed reads the engine parks the rig, then
    // searches again.
    boards().clear(rigBoard);
    const Bytes fanBefore = boards().received(fanBoard);
    game.stop();
    ASSERT_TRUE(waitFor([] { return getGameID() == -1; }, 30s)) << "the engine kept the silent game";
    ASSERT_TRUE(waitFor([&] { return serial::bridgeState().serialSendQueue.empty(); }));
    std::this_thread::sleep_for(100ms);
    std::vector<MotionFrame> frames = motionFrames();
    ASSERT_GT(frames.size(), 100u);
    EXPECT_GT(frames.front().axes[1], 0.1f) << "the rig stood away from neutral when the game went";
    EXPECT_TRUE(atNeutral(frames.back())) << "the park did not end at neutral";
    EXPECT_LE(largestChange(frames), largestStep);
    std::size_t parkFrames = 0;
    for (std::size_t i = 1; i < frames.size(); ++i) parkFrames += frames[i].axes[1] != frames[i - 1].axes[1] ? 1 : 0;
    EXPECT_GE(parkFrames, static_cast<std::size_t>(parkMs / 2.0 * 0.8)) << "the park was no glide";
    const Bytes fan = boards().received(fanBoard);
    ASSERT_GT(fan.size(), fanBefore.size());
    EXPECT_EQ(fan.back(), 0x00) << "the fan kept blowing";
    // Parked, the rig gets no more frames while no game is connected.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(motionFrameCount(), frames.size()) << "frames went out while no game was connected";

    // The game comes back: the next frames start from neutral, blended in as usual.
    boards().clear(rigBoard);
    game.start();
    ASSERT_TRUE(waitFor([] { return MotionEngine::instance().connected.load(); }, 30s));
    ASSERT_TRUE(waitFor([&] { return motionFrameCount() > 200; }, 30s)) << "the frames did not resume";
    frames = motionFrames();
    for (float axis : frames.front().axes) EXPECT_LE(std::abs(axis), largestStep) << "the rig jumped from neutral";
    EXPECT_LE(largestChange(frames), largestStep);

    // The engine stops: it parks the rig before it returns.
    ASSERT_TRUE(waitFor([] { return getTransitionStatus() >= 10.0; }, 30s));
    boards().clear(rigBoard);
    const auto stopping = std::chrono::steady_clock::now();
    stopGamesource_Thread();
    EXPECT_GE(std::chrono::steady_clock::now() - stopping, std::chrono::milliseconds(static_cast<int>(parkMs) - 50));
    game.stop();
    ASSERT_TRUE(waitFor([&] { return serial::bridgeState().serialSendQueue.empty(); }));
    std::this_thread::sleep_for(100ms);
    frames = motionFrames();
    ASSERT_GT(frames.size(), 100u);
    EXPECT_TRUE(atNeutral(frames.back())) << "the stopped engine left the rig away from neutral";
    EXPECT_LE(largestChange(frames), largestStep);
    EXPECT_EQ(boards().counts(rigBoard).badFrames, 0u);
}

}  // namespace
}  // namespace tarvelin::test
