#pragma once
// A (low, high) pair of limits for one rig slot. Host setters write it while the game-source
// thread reads it; each value is whole, but a pair may be seen half updated for one cycle,
// which is harmless.

#include <atomic>

namespace tarvelin {

struct DofLimit {
    std::atomic<double> low{0.0};
    std::atomic<double> high{0.0};

    void set(double lowValue, double highValue) {
        low.store(lowValue, std::memory_order_relaxed);
        high.store(highValue, std::memory_order_relaxed);
    }
};

}  // namespace tarvelin
