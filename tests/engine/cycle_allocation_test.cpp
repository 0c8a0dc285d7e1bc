// The frame cycle runs on a real-time thread and must not allocate once it runs steadily. Here it
// reads BeamNG datagrams from a real socket, evaluates chains of several filters in every slot
// of both profiles, records its snapshots and publishes the rig frame to a running link and the
// rig pose to its block. The global allocator is replaced to count what the cycles ask of it on
// this thread; the game's datagrams and the link's side are done between the counted cycles.

#include <gtest/gtest.h>

#include "beamng_encoder.h"
#include "engine/motion_engine.h"
#include "serial/bridge_state.h"
#include "support/allocation_counter.h"
#include "support/loopback.h"
#include "tarvelin/motion.h"
#include "telemetry_emulator.h"

namespace tarvelin {
namespace {

TEST(CycleAllocation, ASteadyCycleAllocatesNothing) {
    auto& engine = MotionEngine::instance();
    const char* chains[] = {"GAIN(EMALP(CROP(VALUE;-10;10);20);0.5)", "LOGISTIC(EMAHP(GAIN(VALUE;0.1);200);1;2)",
                            "NOISE(SINUS(VALUE;0.01;3);0.01;40;7)", "EDYNLP(GAIN(VALUE;0.02);0.5;4;0)",
                            "CROP(REMAP(EMALP(VALUE;10);0;20;0;255);0;255)"};
    for (int profile = 0; profile < 2; ++profile) {
        for (int slot = 0; slot < rigSlotCount; ++slot) ASSERT_EQ(setcheckFilterstring(profile, slot, chains[slot % 5]), 1);
    }
    for (int slot = 0; slot < 8; ++slot) SetInputDofLimitValue(slot, -50.0, 50.0);
    for (int slot = 0; slot < 6; ++slot) SetRigDofLimitValue(slot, -1.0, 1.0);
    setBelt_Mix(0, 1, 1.0);
    activateMotionCancel(true);
    // The rig safety settings on: the rate limits work in every cycle.
    setParkDuration(2000.0);
    for (int axis = 0; axis < 6; ++axis) SetRigDofRateLimit(axis, 5.0);

    const std::uint16_t port = test::freeUdpPort();
    ASSERT_EQ(engine.gameSource.beamNg.endpoint.open(port), 1);
    engine.gameSource.activeFlags[indexOf(GameId::beamNg)] = true;
    engine.connected = true;
    engine.outputHeld = false;
    auto& link = serial::bridgeState();
    link.bridgeRunning = true;  // the link counts as running: the frames are queued
    emulator::TelemetryEmulator game(emulator::beamNgEncoder, port);
    serial::Message taken;
    std::size_t framesQueued = 0;

    auto cycles = [&](int count, bool counted) {
        for (int cycle = 0; cycle < count; ++cycle) {
            if (cycle % 5 == 0) game.sendFrame(10.0 + cycle / 500.0);  // braking into the corner, 100 a second
            test::countAllocationsOnThisThread(counted);
            const bool kept = engine.readStage();
            engine.processCycle();
            test::countAllocationsOnThisThread(false);
            ASSERT_TRUE(kept);
            // The bridge's side, and a host that polls the snapshots.
            while (link.serialSendQueue.takeFront(taken)) ++framesQueued;
            while (link.udpSendQueue.takeFront(taken)) {
            }
            if (cycle % 100 == 0) {
                int records = 0;
                FreeCalculationSnapshots(GetCalculationSnapshots(&records));
                FreeAccelerationSnapshots(GetAccelerationSnapshots(&records));
            }
        }
    };
    cycles(1000, false);
    framesQueued = 0;
    cycles(2000, true);

    EXPECT_EQ(test::countedAllocations(), 0);
    EXPECT_EQ(framesQueued, 2000u) << "every cycle published its frame";
    EXPECT_LT(engine.readFailures, 50) << "the datagrams were read";
    EXPECT_GT(engine.gameData().channels[lateralAccel], 1.0) << "the last datagram came from the corner";

    link.bridgeRunning = false;
    engine.connected = false;
    engine.outputHeld = true;
    engine.gameSource.disconnect();
    activateMotionCancel(false);
    setParkDuration(0.0);
    for (int axis = 0; axis < 6; ++axis) SetRigDofRateLimit(axis, 0.0);
}

}  // namespace
}  // namespace tarvelin
