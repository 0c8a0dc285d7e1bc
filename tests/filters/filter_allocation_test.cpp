// Evaluation runs on the engine's real-time thread and must not allocate once a chain is
// installed. The global allocator is replaced here to count what a window of evaluations asks
// of it.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "filters/filter_parser.h"
#include "filters/motion_profil.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

TEST(FilterAllocation, SteadyStateEvaluationAllocatesNothing) {
    tarvelin::MotionProfil::Channels channels{};
    tarvelin::MotionProfil::InputLimits limits{};
    tarvelin::MotionProfil profile("Profil AIR", channels, limits);
    const char* texts[] = {"GAIN(EMALP(CROP(VALUE;-10;10);20);0.5)", "NOISE(SINUS(VALUE;1;3);0.3;4;9)",
                           "SPIKE(LOGISTIC(ROLLOVER(REMAP(VALUE;0;1;2;3);5);4;1);1;2;3;0)",
                           "BITSCALESIGNED(EMAHP(ABS(VALUE);3);10;255)"};
    for (int slot = 0; slot < 4; ++slot) profile.chains[slot].exchange(tarvelin::parseFilterString(texts[slot]));
    limits[0].set(-5.0, 5.0);

    counting.store(true);
    double sum = 0.0;
    for (int cycle = 0; cycle < 2000; ++cycle) {
        channels[3] = cycle * 0.01;
        for (int slot = 0; slot < 4; ++slot) sum += profile.getActivedof({slot, 3, slot == 0}, 1.0);
    }
    counting.store(false);
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_TRUE(std::isfinite(sum));
}
