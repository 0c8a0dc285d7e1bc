// ROLLOVER folds in closed form; it must give exactly what reflecting step by step gives
// wherever stepping ends, and end where stepping never would.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "filters/rollover.h"

using tarvelin::rollover;

namespace {

double reflectStepByStep(double x, double limit) {
    while (x > limit || x < -limit) x = x > 0 ? limit - (x - limit) : -limit - (limit + x);
    return x;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(FilterRollover, MatchesStepByStepBitForBit) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> ratio(-300.0, 300.0);
    std::uniform_real_distribution<float> limits(1e-3f, 500.0f);
    for (int i = 0; i < 50000; ++i) {
        const double limit = limits(random);
        // Values on and just below the multiples of the limit, where the fold turns, and between.
        double x = ratio(random) * limit;
        if (i % 3 == 0) x = std::nearbyint(x / limit) * limit;
        if (i % 3 == 1) x = std::nextafter(std::nearbyint(x / limit) * limit, 0.0);
        ASSERT_TRUE(sameBits(rollover(x, limit), reflectStepByStep(x, limit))) << x << " over " << limit;
    }
    EXPECT_TRUE(std::isnan(rollover(std::nan(""), 10.0)));
}

TEST(FilterRollover, EndsWhereStepByStepWouldNot) {
    EXPECT_EQ(rollover(5.0, 0.0), 0.0);
    EXPECT_EQ(rollover(25.0, -10.0), -5.0);  // a negative limit counts by its magnitude
    EXPECT_EQ(rollover(-3.0, -10.0), -3.0);
    EXPECT_TRUE(std::isnan(rollover(std::numeric_limits<double>::infinity(), 10.0)));
    for (double x : {1e300, -1e300, 12345678901234.5}) EXPECT_LE(std::fabs(rollover(x, static_cast<double>(0.1f))), 0.1001) << x;
    EXPECT_EQ(rollover(1e300, 3.0), reflectStepByStep(std::fmod(1e300, 12.0), 3.0));
}
