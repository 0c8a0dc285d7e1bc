// The rig pose block as a motion-compensation layer sees it: mapped once, it must keep showing
// the live pose for the life of the engine, across a lost game, a restart of the engine's
// thread and motion cancelling switched off and on. A program of its own, so that the engine
// creates the block itself, with nothing left from earlier runs.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "engine/motion_engine.h"
#include "platform/shared_memory.h"
#include "tarvelin/motion.h"

namespace tarvelin {
namespace {

TEST(RigPoseBlock, AReaderThatMappedItOnceKeepsSeeingTheLivePose) {
    constexpr const wchar_t* name = L"Local\\motionRigPose";
    platform::SharedMemory::removeName(name);
    auto& engine = MotionEngine::instance();
    activateMotionCancel(true);
    setFilterMotionCancel(1.0);  // the pose is the cue itself

    platform::SharedMemory reader;
    ASSERT_TRUE(reader.openExisting(name, platform::MapAccess::read));
    const auto* pose = static_cast<const double*>(reader.map(platform::MapAccess::read, 48));
    ASSERT_NE(pose, nullptr);

    const struct {
        const char* event;
        std::function<void()> happen;
    } events[] = {
        {"nothing yet", [] {}},
        {"a lost game", [&] { engine.resetConnection(); }},
        {"a restart of the thread",
         [] {
             startGamesource_Thread();
             stopGamesource_Thread();
         }},
        {"motion cancelling off and on",
         [] {
             activateMotionCancel(false);
             activateMotionCancel(true);
             setFilterMotionCancel(1.0);
         }},
    };
    double cue = 0.0;
    for (const auto& event : events) {
        event.happen();
        cue += 0.25;
        engine.gameData().cueValues[3] = cue;
        engine.publishOutputs();
        EXPECT_EQ(pose[3], cue) << "after " << event.event;
    }
    activateMotionCancel(false);
}

}  // namespace
}  // namespace tarvelin
