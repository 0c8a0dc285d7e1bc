#include "core/rig_axes.h"

#include <algorithm>
#include <cmath>

namespace tarvelin {

RigAxisSteps& rigAxisSteps() {
    static RigAxisSteps steps{};
    return steps;
}

std::array<double, rigAxisCount> loadedSteps(const RigAxisSteps& steps) {
    std::array<double, rigAxisCount> loaded;
    for (std::size_t axis = 0; axis < loaded.size(); ++axis) loaded[axis] = steps[axis].load(std::memory_order_relaxed);
    return loaded;
}

RigAxes rateLimitedAxes(const RigAxes& wanted, const RigAxes& previous, const std::array<double, rigAxisCount>& maxStep) {
    RigAxes axes = wanted;
    for (std::size_t axis = 0; axis < axes.size(); ++axis) {
        const double step = maxStep[axis];
        if (!(step > 0.0)) continue;
        const double from = previous[axis];
        const double value = std::clamp(static_cast<double>(wanted[axis]), from - step, from + step);
        if (value == static_cast<double>(wanted[axis])) continue;
        float limited = static_cast<float>(value);
        // Rounding to a float may land a hair beyond the step; the neighbour toward the previous
        // value is within it.
        if (std::abs(static_cast<double>(limited) - from) > step) limited = std::nextafter(limited, previous[axis]);
        axes[axis] = limited;
    }
    return axes;
}

}  // namespace tarvelin
