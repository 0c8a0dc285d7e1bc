#include "filters/rollover.h"

#include <cmath>

namespace tarvelin {

double rollover(double x, double limit) {
    const double bound = std::fabs(limit);
    if (!(x > bound || x < -bound)) return x;
    if (bound == 0.0) return 0.0;

    // fmod is exact and keeps the sign of x. The remainder r lies in (-4L, 4L); the band
    // repeats with period 4L and runs upwards on [-L, L], downwards on [L, 3L].
    const double r = std::fmod(x, 4.0 * bound);
    // A reflection never yields -0.0 (its last subtraction has unequal operands or gives
    // +0.0), so neither does the fold of a value outside the band.
    if (r == 0.0) return 0.0;
    if (r > 0.0) {
        if (r <= bound) return r;
        if (r <= 3.0 * bound) return 2.0 * bound - r;
        return r - 4.0 * bound;
    }
    if (r >= -bound) return r;
    if (r >= -3.0 * bound) return -2.0 * bound - r;
    return r + 4.0 * bound;
}

}  // namespace tarvelin
