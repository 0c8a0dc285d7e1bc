// Everything going wrong at once, with real parts: while one game quits and another starts, the
// first sends values no sensor gives and floods its port, the rig controller board sends noise,
// cut frames and length claims no frame can meet, the board's line goes away and comes back,
// and four host threads call every export, starting and stopping the engine and the link. The
// process must come through it, every call must return, the engine must find the game that
// plays, and every frame the rig receives must be finite, within the rig's limits and within an
// axis's step per cycle.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "beamng_encoder.h"
#include "games/game_channels.h"
#include "raceroom_encoder.h"
#include "serial/rig_frames.h"
#include "serial/support/link_fixture.h"
#include "support/host_threads.h"
#include "support/loopback.h"
#include "support/watchdog.h"
#include "tarvelin/motion.h"
#include "telemetry_emulator.h"

namespace tarvelin::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Axes = std::array<float, 6>;

constexpr unsigned rigPort = 5;
constexpr const char* rigBoard = "com5";
constexpr double rigLimit = 1.0;
constexpr double rateLimit = 5.0;  // rig units per second, on every axis
constexpr float largestStep = static_cast<float>(rateLimit * 0.002 + 1e-6);  // per 2 ms cycle, with float rounding
constexpr double parkMs = 20.0;
constexpr int beamNgId = 12;
constexpr int raceRoomId = 4;

// What the board sends, in turn: noise, a frame cut short, claims no frame can meet (beyond the
// host's read buffer, beyond a fragment), and a good frame now and then.
const std::vector<Bytes>& boardNoise() {
    static const std::vector<Bytes> noise{
        {0x00, 0x13, 0x5A, 0xFF, 0xFC, 0x0A, 0x0D},
        {0xF8, 0xF8, 0x01, 0x02},
        {0xFE, 0xFE, 0xFF, 0xFF},
        {0xFA, 0xFA, 0xFF, 0xFF, 0x00, 0xF1},
        withCrc({0xF9, 0xF9, 0x05, 0x00, 0x01, 0x00}),
    };
    return noise;
}

// BeamNG gone wrong: its drive at its 100 frames a second, with a value no sensor gives in every
// fifth frame (NaN, infinities, 1e300, which BeamNG's floats carry as infinity) and, while asked
// to, ten times its rate.
class FaultyBeamNg {
public:
    FaultyBeamNg() : thread_([this] { play(); }) {}
    ~FaultyBeamNg() { quit(); }
    FaultyBeamNg(const FaultyBeamNg&) = delete;
    FaultyBeamNg& operator=(const FaultyBeamNg&) = delete;

    void flood(bool on) { flooding_.store(on); }
    void quit() {
        playing_.store(false);
        if (thread_.joinable()) thread_.join();
    }

private:
    void play() {
        using emulator::VehicleMotion;
        constexpr double inf = std::numeric_limits<double>::infinity();
        const double wrong[] = {std::numeric_limits<double>::quiet_NaN(), inf, -inf, 1e300, -1e300};
        double VehicleMotion::*const fields[] = {&VehicleMotion::lateralAccel, &VehicleMotion::verticalAccel,
                                                 &VehicleMotion::roll, &VehicleMotion::pitch, &VehicleMotion::yawRate};
        const emulator::DriveScript script;
        UdpPeer peer;
        const auto start = Clock::now();
        auto next = start;
        for (unsigned frame = 0; playing_.load(); ++frame) {
            VehicleMotion motion = script.at(5.0 + std::chrono::duration<double>(Clock::now() - start).count());
            if (frame % 5 == 4) motion.*fields[frame / 5 % 5] = wrong[frame / 25 % 5];
            const auto datagram = emulator::encodeBeamNgFrame(motion);
            peer.sendTo(games::beamNgPort, std::vector<std::uint8_t>(datagram.begin(), datagram.end()));
            next += flooding_.load() ? 1ms : 10ms;
            std::this_thread::sleep_until(next);
        }
    }

    std::atomic<bool> playing_{true};
    std::atomic<bool> flooding_{false};
    std::thread thread_;
};

class FaultsAtOnce : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        attachBoard();
        enableAutoconnect();
        startBridge();
        ASSERT_TRUE(waitFor([] { return isConnected() == 1; }, 30s)) << console();
        configureMotion();
    }

    void TearDown() override {
        stopGamesource_Thread();
        setMotionsystemready(0);
        setParkDuration(0.0);
        setLowLatency(0);
        activateMotionCancel(false);
        for (int axis = 0; axis < 6; ++axis) SetRigDofRateLimit(axis, 0.0);
        LinkFixture::TearDown();
        disableAutoconnect();
    }

    void attachBoard() {
        bench().attach(rigPort);
        boards().reply(rigBoard, Bytes(serial::identificationReplyId1.begin(), serial::identificationReplyId1.end()));
    }

    // Memoryless chains that hold the axes off neutral, in both profiles, and the limits the
    // rig's frames are checked against.
    static void configureMotion() {
        const char* chains[] = {"GAIN(VALUE;0.125)", "ADD(GAIN(VALUE;0.05);0.4)", "ADD(GAIN(VALUE;0.02);-0.5)",
                                "GAIN(VALUE;0.01)",  "ADD(GAIN(VALUE;0.01);0.3)", "GAIN(VALUE;0.01)"};
        for (int axis = 0; axis < 6; ++axis) {
            for (const int profile : {0, 1}) {
                ASSERT_EQ(setcheckFilterstring(profile, axis, chains[axis]), 1);
                setActiveAxis(profile, axis, true);
            }
            SetRigDofLimitValue(axis, -rigLimit, rigLimit);
            ASSERT_EQ(SetRigDofRateLimit(axis, rateLimit), 1);
        }
        for (int slot = 0; slot < 8; ++slot) SetInputDofLimitValue(slot, -60.0, 60.0);
        ASSERT_EQ(setParkDuration(parkMs), 1);
    }

    // The axes of every motion frame the board has received since it was attached.
    std::vector<Axes> rigFrames() {
        std::vector<Axes> frames;
        for (const Bytes& frame : boards().frames(rigBoard)) {
            if (frame.size() != 36 || frame[0] != 0xFC) continue;
            Axes axes;
            std::memcpy(axes.data(), frame.data() + 2, sizeof axes);  // little-endian on every build
            frames.push_back(axes);
        }
        return frames;
    }
};

// Each frame finite and within the limits, each change from the frame before within one cycle's
// step: also the first frame after the link was stopped, paused or lost its board.
void expectSafe(const std::vector<Axes>& frames, const char* stretch) {
    std::size_t outside = 0;
    std::size_t jumps = 0;
    float largestChange = 0.0f;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        for (int axis = 0; axis < 6; ++axis) {
            const float value = frames[i][axis];
            if (!std::isfinite(value) || std::abs(value) > static_cast<float>(rigLimit)) ++outside;
            if (i == 0) continue;
            const float change = std::abs(value - frames[i - 1][axis]);
            largestChange = std::max(largestChange, change);
            if (!(change <= largestStep)) ++jumps;
        }
    }
    std::printf("[ figure ] %s: %zu motion frames, largest change of an axis %.4f\n", stretch, frames.size(), largestChange);
    EXPECT_EQ(outside, 0u) << stretch << ": axes not finite or beyond the rig's limits";
    EXPECT_EQ(jumps, 0u) << stretch << ": axes moved by up to " << largestChange << " in a cycle, more than " << largestStep;
}

TEST_F(FaultsAtOnce, TheGameSwitchesWhileEverythingGoesWrong) {
    Watchdog watchdog("the game switch with every fault at once", 240s);
    auto gameA = std::make_unique<FaultyBeamNg>();
    std::unique_ptr<emulator::TelemetryEmulator> gameB;
    setMotionsystemready(1);
    startGamesource_Thread();
    ASSERT_TRUE(waitFor([] { return getGameID() == beamNgId; }, 30s)) << "BeamNG was not found";
    ASSERT_TRUE(waitFor([] { return getTransitionStatus() >= 10.0; }, 30s));

    std::vector<Axes> beforeUnplugging;
    bool unplugged = false;
    bool pluggedBack = false;
    bool leftGameA = false;
    {
        HostThreads hosts({.rigLink = true, .rigLimit = rigLimit, .rateLimit = rateLimit, .parkMs = parkMs,
                           .engineStopEvery = 1500ms});
        const auto start = Clock::now();
        std::size_t noise = 0;
        for (auto elapsed = 0ms; elapsed < 8s;
             elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)) {
            if (gameA) gameA->flood(elapsed >= 1s && elapsed < 2s);
            if (!unplugged && elapsed >= 2500ms) {
                beforeUnplugging = rigFrames();
                bench().detach(rigPort);  // the line closes mid-stream
                unplugged = true;
            }
            if (gameA && elapsed >= 3s) {
                gameA.reset();  // BeamNG quits, RaceRoom starts
                gameB = std::make_unique<emulator::TelemetryEmulator>(emulator::raceRoomEncoder);
                ASSERT_TRUE(gameB->ready());
                gameB->seek(12.4);
                gameB->start();
            }
            if (!pluggedBack && elapsed >= 3500ms) {
                attachBoard();
                pluggedBack = true;
            }
            if (!unplugged || pluggedBack) boards().send(rigBoard, boardNoise()[noise++ % boardNoise().size()]);
            leftGameA = leftGameA || (gameB && getGameID() != beamNgId);
            std::this_thread::sleep_for(20ms);
        }
        hosts.stop();
        std::printf("[ figure ] %zu export calls by four host threads in 8 s; rig frames after the board came back: %zu\n",
                    hosts.calls(), rigFrames().size());
        EXPECT_GT(hosts.calls(), 1000u);
    }

    // Calm again: the host sets the rig up as before and starts the engine and the link afresh.
    configureMotion();
    setLowLatency(0);
    enableAutoconnect();
    setMotionsystemready(1);
    stopBridge();
    startBridge();
    stopGamesource_Thread();
    startGamesource_Thread();
    EXPECT_TRUE(leftGameA || getGameID() != beamNgId) << "the engine held on to the game that quit";
    ASSERT_TRUE(waitFor([] { return getGameID() == raceRoomId; }, 30s)) << "RaceRoom was not found";
    ASSERT_TRUE(waitFor([] { return isConnected() == 1; }, 30s)) << "the board that came back was not found";
    const std::size_t calm = rigFrames().size();
    ASSERT_TRUE(waitFor([&] { return rigFrames().size() > calm + 300; }, 30s)) << "RaceRoom's motion never reached the rig";
    stopGamesource_Thread();
    std::this_thread::sleep_for(100ms);

    const std::vector<Axes> afterPluggingBack = rigFrames();
    const std::set<Axes> raceRoomMotion(afterPluggingBack.begin() + static_cast<std::ptrdiff_t>(calm),
                                        afterPluggingBack.end());
    EXPECT_GT(raceRoomMotion.size(), 50u) << "the rig hardly moved with RaceRoom";
    EXPECT_GT(beforeUnplugging.size(), 100u);
    expectSafe(beforeUnplugging, "before the line closed");
    expectSafe(afterPluggingBack, "after the board came back");
    EXPECT_EQ(boards().counts(rigBoard).badFrames, 0u);
    watchdog.dismiss();
    if (gameB) gameB->stop();
}

}  // namespace
}  // namespace tarvelin::test
