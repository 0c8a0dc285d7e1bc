#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/rig_frame_store.h"

// The game-source thread stores a frame every cycle while hosts copy it: a reader must always
// get one whole frame, never the first half of one and the rest of another.
TEST(RigFrameStore, ReadersNeverSeeTornFrames) {
    tarvelin::RigFrameStore store;
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int k = 0; k < 200000; ++k) {
            tarvelin::RigFrame frame;
            frame.fill(static_cast<std::uint8_t>(k));
            store.store(frame);
        }
        writing = false;
    });
    int torn = 0;
    int reads = 0;
    while (writing) {
        const auto frame = store.load();
        ++reads;
        for (auto byte : frame) torn += byte != frame[0];
    }
    writer.join();
    EXPECT_EQ(torn, 0) << "after " << reads << " reads";
    EXPECT_EQ(store.load()[35], static_cast<std::uint8_t>(199999));
}
