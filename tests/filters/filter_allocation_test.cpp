// Evaluation runs on the engine's real-time thread and must not allocate once a chain is
// installed. The program replaces the global allocator to count what a window of evaluations
// asks of it.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "filters/filter_parser.h"
#include "filters/motion_profil.h"
#include "support/allocation_counter.h"

TEST(FilterAllocation, SteadyStateEvaluationAllocatesNothing) {
    tarvelin::MotionProfil::Channels channels{};
    tarvelin::MotionProfil::InputLimits limits{};
    tarvelin::MotionProfil profile("Profil AIR", channels, limits);
    const char* texts[] = {"GAIN(EMALP(CROP(VALUE;-10;10);20);0.5)", "NOISE(SINUS(VALUE;1;3);0.3;4;9)",
                           "SPIKE(LOGISTIC(ROLLOVER(REMAP(VALUE;0;1;2;3);5);4;1);1;2;3;0)",
                           "BITSCALESIGNED(EMAHP(ABS(VALUE);3);10;255)"};
    for (int slot = 0; slot < 4; ++slot) profile.chains[slot].exchange(tarvelin::parseFilterString(texts[slot]));
    limits[0].set(-5.0, 5.0);

    tarvelin::test::countAllocationsOnThisThread(true);
    double sum = 0.0;
    for (int cycle = 0; cycle < 2000; ++cycle) {
        channels[3] = cycle * 0.01;
        for (int slot = 0; slot < 4; ++slot) sum += profile.getActivedof({slot, 3, slot == 0}, 1.0);
    }
    tarvelin::test::countAllocationsOnThisThread(false);
    EXPECT_EQ(tarvelin::test::countedAllocations(), 0);
    EXPECT_TRUE(std::isfinite(sum));
}

// A host's mistake must not cost memory in proportion to it: a string beyond the chain limits is
// refused before a node is made, at the cost of any other rejected string.
TEST(FilterAllocation, OversizeStringsAreRefusedBeforeAnyAllocation) {
    std::string tooMany;
    for (int i = 0; i < 33; ++i) tooMany += "ABS(";
    tooMany += "VALUE" + std::string(33, ')');
    std::string megabyte;
    for (int i = 0; i < 200000; ++i) megabyte += "ABS(";
    megabyte += "VALUE" + std::string(200000, ')');

    auto allocationsOf = [](const std::string& text) {
        tarvelin::test::resetCountedAllocations();
        tarvelin::test::countAllocationsOnThisThread(true);
        const bool valid = tarvelin::parseFilterString(text)->valid.load();
        tarvelin::test::countAllocationsOnThisThread(false);
        EXPECT_FALSE(valid) << text.size() << " bytes";
        return tarvelin::test::countedAllocations();
    };
    const long rejected = allocationsOf("bad(");
    EXPECT_EQ(allocationsOf(tooMany), rejected);
    EXPECT_EQ(allocationsOf(megabyte), rejected);
}
