// The game-source thread as hosts drive it: started and stopped through the exports, while other
// host threads keep calling every setter and getter.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "beamng_encoder.h"
#include "engine/motion_engine.h"
#include "net/udp_endpoint.h"
#include "support/host_threads.h"
#include "support/loopback.h"
#include "support/watchdog.h"
#include "tarvelin/motion.h"
#include "telemetry_emulator.h"

using tarvelin::MotionEngine;

TEST(GameSourceThread, StartsOnceAndStopsByJoining) {
    auto& engine = MotionEngine::instance();
    stopGamesource_Thread();  // without a thread: only clears the flag
    EXPECT_FALSE(engine.running);

    startGamesource_Thread();
    const auto id = engine.gameSourceThread.get_id();
    startGamesource_Thread();
    EXPECT_EQ(engine.gameSourceThread.get_id(), id) << "a second start must not start a second thread";
    EXPECT_TRUE(engine.running);

    stopGamesource_Thread();
    EXPECT_FALSE(engine.running);
    EXPECT_FALSE(engine.gameSourceThread.joinable());
    EXPECT_FALSE(engine.connected);

    startGamesource_Thread();  // and again, searching afresh
    EXPECT_TRUE(engine.gameSourceThread.joinable());
    stopGamesource_Thread();
    EXPECT_EQ(getGameID(), -1);
}

// Four host threads at once: two start and stop the thread in ever new interleavings while the
// other two call every setter and getter, with a game playing and a park set, so that stops park
// the rig. Every call returns, and afterwards the thread is as the last call left it.
TEST(GameSourceThread, HostThreadsMayStartStopAndSetEverythingAtOnce) {
    auto& engine = MotionEngine::instance();
    tarvelin::emulator::TelemetryEmulator game(tarvelin::emulator::beamNgEncoder);
    ASSERT_TRUE(game.ready());
    game.seek(5.0);
    game.start();
    ASSERT_EQ(setParkDuration(20.0), 1);
    setMotionsystemready(1);

    tarvelin::test::Watchdog watchdog("four host threads starting and stopping the engine", std::chrono::seconds(60));
    tarvelin::test::HostThreads hosts({.rigLimit = 1.0, .parkMs = 20.0});
    std::this_thread::sleep_for(std::chrono::seconds(3));
    hosts.stop();

    stopGamesource_Thread();
    EXPECT_FALSE(engine.running);
    EXPECT_FALSE(engine.gameSourceThread.joinable());
    setMotionsystemready(1);
    startGamesource_Thread();
    EXPECT_TRUE(engine.running);
    for (int waited = 0; waited < 30000 && getGameID() != 12; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(getGameID(), 12) << "the engine no longer finds the game";
    stopGamesource_Thread();
    watchdog.dismiss();
    game.stop();
    setParkDuration(0.0);
    setLowLatency(0);
    activateMotionCancel(false);
    setMotionsystemready(0);
}

TEST(GameSourceThread, LetsGoOfTheGameWhenStopped) {
    constexpr int beamNgPort = 4444;
    std::atomic<bool> sending{true};
    std::thread game([&] {
        tarvelin::test::UdpPeer peer;
        while (sending) {
            peer.sendTo(beamNgPort, std::vector<std::uint8_t>{'B', 'N', 'G', '1'});
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    startGamesource_Thread();
    for (int waited = 0; waited < 10000 && getGameID() != 12; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(getGameID(), 12);
    stopGamesource_Thread();
    sending = false;
    game.join();
    EXPECT_EQ(getGameID(), -1);
    tarvelin::UdpEndpoint other;
    EXPECT_EQ(other.open(beamNgPort), 1) << "the stopped engine still holds the game's port";
    other.close();
}

namespace {

bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace

// After every pause of the cycle the soft start blends over 4000 ms of cycles, so its progress
// can never run ahead of the time since the cycle resumed (a 2 ms cycle advances it by 0.05 %).
// A pause of two seconds that counted as one step would put it at 50 % at once.
TEST(GameSourceThread, TheSoftStartTakesFourSecondsAfterEveryPause) {
    using Clock = std::chrono::steady_clock;
    using namespace std::chrono_literals;
    auto& engine = MotionEngine::instance();
    tarvelin::emulator::TelemetryEmulator game(tarvelin::emulator::beamNgEncoder);
    ASSERT_TRUE(game.ready());
    game.seek(5.0);  // under way: the telemetry moves all the time, so the cues never go stale
    auto connected = [&] { return engine.connected.load(); };
    auto pause = [] { std::this_thread::sleep_for(2s); };

    const struct {
        const char* name;
        std::function<void()> before;  // brings the engine to a pause
        std::function<void()> resume;  // ends it; the time is taken just before
    } cases[] = {
        {"a game found late",
         [&] {
             setMotionsystemready(1);
             startGamesource_Thread();
             pause();
         },
         [&] { game.start(); }},
        {"a rig ready late",
         [&] {
             game.start();
             startGamesource_Thread();
             ASSERT_TRUE(waitUntil(connected));
             pause();
         },
         [] { setMotionsystemready(1); }},
        {"a rig paused and resumed",
         [&] {
             game.start();
             setMotionsystemready(1);
             startGamesource_Thread();
             ASSERT_TRUE(waitUntil([] { return getTransitionStatus() >= 5.0; }));
             setMotionsystemready(0);
             pause();
         },
         [] { setMotionsystemready(1); }},
        {"a game lost and found",
         [&] {
             game.start();
             setMotionsystemready(1);
             startGamesource_Thread();
             ASSERT_TRUE(waitUntil([] { return getTransitionStatus() >= 5.0; }));
             game.stop();
             ASSERT_TRUE(waitUntil([] { return getGameID() == -1; }));
             pause();
         },
         [&] { game.start(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.before();
        const auto resumed = Clock::now();
        c.resume();
        ASSERT_TRUE(waitUntil([] { return getTransitionStatus() > 0.0; })) << "the cues never blended in";
        const double status = getTransitionStatus();
        const double sinceResumeMs = std::chrono::duration<double, std::milli>(Clock::now() - resumed).count();
        EXPECT_LE(status, sinceResumeMs / 40.0 + 1.0) << "after " << sinceResumeMs << " ms";
        stopGamesource_Thread();
        game.stop();
        setMotionsystemready(0);
    }
}
