#pragma once
// A (low, high) pair of limits for one rig slot. Host setters write it while the game-source
// thread reads it; each value is whole, but a pair may be seen half updated for one cycle.

#include <algorithm>
#include <atomic>
#include <cmath>

namespace tarvelin {

struct DofRange {
    double low;
    double high;
};

struct DofLimit {
    std::atomic<double> low{0.0};
    std::atomic<double> high{0.0};

    void set(double lowValue, double highValue) {
        low.store(lowValue, std::memory_order_relaxed);
        high.store(highValue, std::memory_order_relaxed);
    }

    // What the setters a host calls store: the pair when both ends are finite and low is not
    // above high. Anything else would put NaN on the rig or make a clamp jump between the two
    // ends every cycle, so it is refused and the previous pair stays.
    bool setIfValid(double lowValue, double highValue) {
        if (!std::isfinite(lowValue) || !std::isfinite(highValue) || lowValue > highValue) return false;
        set(lowValue, highValue);
        return true;
    }

    // The pair as one range. A reader that catches a setter between its two stores may see the
    // new low with the old high; that pair can be inverted, so the two ends are put in order: the
    // range then lies between the old and the new one, for that one cycle.
    DofRange range() const {
        const double first = low.load(std::memory_order_relaxed);
        const double second = high.load(std::memory_order_relaxed);
        return {std::min(first, second), std::max(first, second)};
    }
};

}  // namespace tarvelin
