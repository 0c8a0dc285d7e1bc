// ROLLOVER folds in closed form; it must give exactly what reflecting step by step gives
// wherever stepping ends, and end where stepping never would.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "filter_test_support.h"
#include "filters/rollover.h"

using tarvelin::rollover;

namespace {

// The reflection rule step by step, for limits above 0.
double reflectStepByStep(double x, double limit) {
    while (x > limit || x < -limit) x = x > 0 ? limit - (x - limit) : -limit - (limit + x);
    return x;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(FilterRollover, FoldsLikeReflectionAtTheBounds) {
    auto chain = filter_test::chainOf("ROLLOVER(VALUE;10)");
    EXPECT_EQ(filter_test::run(chain, 25.0), -5.0);
    EXPECT_EQ(filter_test::run(chain, -25.0), 5.0);
    EXPECT_EQ(filter_test::run(chain, 35.0), -5.0);
    EXPECT_EQ(filter_test::run(chain, 10.0), 10.0);
    EXPECT_EQ(filter_test::run(chain, -7.5), -7.5);
    EXPECT_TRUE(std::isnan(rollover(std::nan(""), 10.0)));
}

TEST(FilterRollover, MatchesStepByStepBitForBit) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> ratio(-300.0, 300.0);
    std::uniform_real_distribution<float> limits(1e-3f, 500.0f);
    for (int i = 0; i < 50000; ++i) {
        const double limit = limits(random);
        // Values near the multiples of the limit, where the fold turns, and anywhere between.
        double x = ratio(random) * limit;
        if (i % 3 == 0) x = std::nearbyint(x / limit) * limit;
        if (i % 3 == 1) x = std::nextafter(std::nearbyint(x / limit) * limit, 0.0);
        const double expected = reflectStepByStep(x, limit);
        ASSERT_TRUE(sameBits(rollover(x, limit), expected)) << x << " over " << limit;
    }
    for (double x : {2.0, -2.0, 3.0, -3.0, 4.0, -4.0, 5.0, -5.0, 1e6, -1e6}) {
        ASSERT_TRUE(sameBits(rollover(x, 1.0), reflectStepByStep(x, 1.0))) << x;
    }
}

TEST(FilterRollover, EndsWhereStepByStepWouldNot) {
    EXPECT_EQ(rollover(5.0, 0.0), 0.0);
    EXPECT_EQ(rollover(-5.0, 0.0), 0.0);
    EXPECT_EQ(rollover(25.0, -10.0), -5.0);
    EXPECT_EQ(rollover(-3.0, -10.0), -3.0);
    EXPECT_TRUE(std::isnan(rollover(std::numeric_limits<double>::infinity(), 10.0)));

    // Far beyond what stepping could cover: the exact fold, within the band.
    const double limit = 0.1f;
    for (double x : {1e300, -1e300, 1e30, 12345678901234.5}) {
        const double folded = rollover(x, limit);
        EXPECT_LE(std::fabs(folded), limit) << x;
    }
    EXPECT_EQ(rollover(1e300, 3.0), reflectStepByStep(std::fmod(1e300, 12.0), 3.0));
}
