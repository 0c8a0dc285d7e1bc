// The arithmetic of every filter kind, with the exact widening of its float parameters and
// state, and the linking and evaluation of chains. Where a widening moved by one step would
// change the last bits, the test also checks that the wrong order gives another value, so
// that the expectation really tells the two apart.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "filter_test_support.h"
#include "filters/filter_sys.h"

using filter_test::chainOf;
using filter_test::run;
using filter_test::widened;
using tarvelin::evaluate;
using tarvelin::FilterSys;
using tarvelin::FilterType;
using tarvelin::prependFilter;

TEST(FilterValue, PassesInputTimesScaleInDoublePrecision) {
    auto chain = chainOf("VALUE");
    EXPECT_EQ(run(chain, 0.1), 0.1);
    EXPECT_EQ(evaluate(chain, 0.1, 3.0, 1.0, 1.0), 0.1 * 3.0);
}

TEST(FilterInvalidHandle, YieldsZeroAndDoesNotAdvance) {
    auto chain = tarvelin::parseFilterString("EMALP(VALUE;10");
    EXPECT_FALSE(chain->valid.load());
    EXPECT_EQ(run(chain, 123.0), 0.0);
    EXPECT_EQ(run(nullptr, 1.0), 0.0);

    auto cleared = chainOf("EMALP(VALUE;2)");
    cleared->valid.exchange(false);
    EXPECT_EQ(run(cleared, 8.0), 0.0);
    cleared->valid.exchange(true);
    EXPECT_EQ(run(cleared, 8.0), 4.0);  // the state had not moved
}

TEST(FilterEmaLowPass, RisesTowardsInputWithFloatState) {
    auto chain = chainOf("EMALP(VALUE;10)");
    const double first = run(chain, 1.0);
    EXPECT_EQ(first, widened(0.1f));
    EXPECT_NEAR(run(chain, 1.0), 0.19, 1e-7);
    EXPECT_NEAR(run(chain, 1.0), 0.271, 1e-7);

    // The step runs in double precision on the widened state and is narrowed once.
    auto odd = chainOf("EMALP(VALUE;3)");
    const double x = 0.021;
    const float expected = static_cast<float>(0.0 + (x - 0.0) / 3.0);
    const float inFloat = (static_cast<float>(x) - 0.0f) / 3.0f;
    ASSERT_NE(expected, inFloat);
    EXPECT_EQ(run(odd, x), widened(expected));

    // A time constant below 1 after scaling means no filtering: the input narrowed to float.
    auto scaled = chainOf("EMALP(VALUE;10)");
    EXPECT_EQ(evaluate(scaled, 0.1, 1.0, 0.05, 1.0), widened(0.1f));
}

TEST(FilterEmaHighPass, SubtractsTheStoredFloatState) {
    auto chain = chainOf("EMAHP(VALUE;1)");
    EXPECT_EQ(run(chain, 0.1), 0.1 - widened(0.1f));

    auto slow = chainOf("EMAHP(VALUE;4)");
    EXPECT_EQ(run(slow, 8.0), 6.0);
    EXPECT_EQ(run(slow, 8.0), 4.5);
    EXPECT_EQ(evaluate(slow, 8.0, 1.0, 1.0, 0.5), 2.25);  // divisor 4 * 0.5: state 3.5 -> 5.75
}

TEST(FilterGainAndMul, MultiplyByTheWidenedFloatParameter) {
    EXPECT_EQ(run(chainOf("GAIN(VALUE;0.1)"), 3.0), 3.0 * widened(0.1f));
    EXPECT_EQ(run(chainOf("MUL(VALUE;0.1)"), 3.0), 3.0 * widened(0.1f));
    EXPECT_NE(3.0 * widened(0.1f), 3.0 * 0.1);
}

TEST(FilterAddAndSetValue, UseTheWidenedParameter) {
    EXPECT_EQ(run(chainOf("ADD(VALUE;0.1)"), 1.0), 1.0 + widened(0.1f));
    EXPECT_EQ(run(chainOf("SETVALUE(VALUE;0.1)"), 55.0), widened(0.1f));
    EXPECT_EQ(run(chainOf("ABS(VALUE)"), -2.5), 2.5);
}

TEST(FilterCrop, ClampsAndLowBoundWinsWhenBoundsCross) {
    auto crop = chainOf("CROP(VALUE;-1;1)");
    EXPECT_EQ(run(crop, 5.0), 1.0);
    EXPECT_EQ(run(crop, -5.0), -1.0);
    EXPECT_EQ(run(crop, 0.25), 0.25);
    auto crossed = chainOf("CROP(VALUE;1;-1)");
    for (double x : {-9.0, 0.0, 9.0}) EXPECT_EQ(run(crossed, x), 1.0);
}

TEST(FilterRemap, MapsLinearlyWithoutClampingInDoublePrecision) {
    auto remap = chainOf("REMAP(VALUE;0;10;0;100)");
    EXPECT_EQ(run(remap, 5.0), 50.0);
    EXPECT_EQ(run(remap, 20.0), 200.0);
    EXPECT_EQ(run(chainOf("REMAP(VALUE;0;10;100;200)"), 5.0), 150.0);

    // The span is the difference of the widened parameters, not a float difference.
    const float inLow = 0.1f;
    const float inHigh = 100000000.0f;
    const double span = widened(inHigh) - widened(inLow);
    ASSERT_NE(span, widened(inHigh - inLow));
    const double expected = (50000000.0 - inLow) * ((1.0 - 0.0) / span) + 0.0;
    EXPECT_EQ(run(chainOf("REMAP(VALUE;0.1;100000000;0;1)"), 50000000.0), expected);

    // Bounds that are distinct as written but equal as floats leave the value unchanged.
    EXPECT_EQ(run(chainOf("REMAP(VALUE;1;1.00000001;0;5)"), 7.0), 7.0);
}

TEST(FilterBitscale, ScalesClampedInputAndGuardsAZeroRange) {
    auto bits = chainOf("BITSCALE(VALUE;100;255)");
    EXPECT_EQ(run(bits, -3.0), 0.0);
    EXPECT_EQ(run(bits, 50.0), 127.5);
    EXPECT_EQ(run(bits, 300.0), 255.0);
    EXPECT_EQ(run(chainOf("BITSCALE(VALUE;0;255)"), 50.0), 0.0);

    auto signedBits = chainOf("BITSCALESIGNED(VALUE;100;255)");
    EXPECT_EQ(run(signedBits, -300.0), -255.0);
    EXPECT_EQ(run(signedBits, -50.0), -127.5);
    EXPECT_EQ(run(chainOf("BITSCALESIGNED(VALUE;0;255)"), 50.0), 0.0);

    // Division first, then the factor: (x / inMax) * outMax.
    const double x = 1.0;
    EXPECT_EQ(run(chainOf("BITSCALE(VALUE;3;0.7)"), x), x / 3.0 * widened(0.7f));
}

TEST(FilterLogistic, SoftLimitsTowardsItsBound) {
    auto logistic = chainOf("LOGISTIC(VALUE;10;1)");
    EXPECT_EQ(run(logistic, 0.0), 0.0);
    EXPECT_EQ(run(logistic, 1000000.0), 10.0);
    EXPECT_EQ(run(logistic, -1000000.0), -10.0);
    double previous = 0.0;
    for (double x = 1.0; x < 100.0; x *= 1.5) {
        const double y = run(logistic, x);
        EXPECT_GT(y, previous);
        EXPECT_LE(y, 10.0);
        previous = y;
    }
    for (double x : {200.0, 5000.0, 1e12}) EXPECT_LE(run(logistic, x), 10.0);
    EXPECT_NEAR(run(logistic, 30.0), 10.0 * std::tanh(30.0 / 10.0), 1e-9);

    // A zero limit is replaced by 1e-9 with its sign; the result stays finite.
    EXPECT_TRUE(std::isfinite(run(chainOf("LOGISTIC(VALUE;0;1)"), 5.0)));
}

TEST(FilterSinus, AdvancesAFloatPhaseAndIgnoresTheInput) {
    auto sinus = chainOf("SINUS(VALUE;1;1)");
    float phase = static_cast<float>(0.0 + 1.0 * 6.283185307179586 * 0.002);
    EXPECT_EQ(run(sinus, 1234.0), widened(std::sin(phase)));
    EXPECT_NE(widened(std::sin(phase)), std::sin(widened(phase)));

    // 2 Hz at amplitude 0.5 over more than one turn: the phase wraps with fmod in double.
    auto faster = chainOf("SINUS(VALUE;0.5;2)");
    phase = 0.0f;
    for (int step = 0; step < 300; ++step) {
        phase = static_cast<float>(phase + widened(2.0f) * 6.283185307179586 * 0.002);
        if (phase > 6.283185307179586) phase = static_cast<float>(std::fmod(widened(phase), 6.283185307179586));
        ASSERT_EQ(run(faster, 0.0), widened(std::sin(phase)) * widened(0.5f)) << "step " << step;
    }
}

TEST(FilterDynamicLowPass, PassesSmallStepsAndSlowsLargeOnes) {
    auto edyn = chainOf("EDYNLP(VALUE;1;1;0)");
    EXPECT_EQ(run(edyn, 0.5), 0.5);
    auto fromZero = chainOf("EDYNLP(VALUE;1;1;0)");
    EXPECT_EQ(run(fromZero, 3.0), 0.75);  // 3 / max(1, (3 - 1)^2)

    auto ldyn = chainOf("LDYNLP(VALUE;1;1;7)");
    EXPECT_EQ(run(ldyn, 3.0), 1.5);  // 3 / max(1, (3 - 1)^1): the third parameter is unused

    // SPIKE takes its exponent from the third parameter and ignores the fourth.
    auto spike = chainOf("SPIKE(VALUE;1;2;3;99)");
    EXPECT_EQ(run(spike, 3.0), 3.0 / (8.0 * 2.0));
    // A gain below 1 is lifted to 1: the step passes whole.
    EXPECT_EQ(run(chainOf("SPIKE(VALUE;1;0.01;1;0)"), 3.0), 3.0);

    // The new state is narrowed to float and returned as stored.
    auto narrow = chainOf("LDYNLP(VALUE;0;3;0)");
    const double x = 0.7000000000000001;
    EXPECT_EQ(run(narrow, x), widened(static_cast<float>(0.0 + x / std::max(1.0, x * widened(3.0f)))));
    // Inside the dead band the input passes unchanged, while the state keeps its float.
    auto band = chainOf("LDYNLP(VALUE;1;1;0)");
    EXPECT_EQ(run(band, 0.1), 0.1);
    const double d = 5.1 - widened(0.1f);
    EXPECT_EQ(run(band, 5.1), widened(static_cast<float>(widened(0.1f) + d / (d - 1.0))));
}

// The draw and interpolation of NOISE, written out from the generator.
class NoiseReference {
public:
    NoiseReference(float amplitude, float period, std::uint32_t seed)
        : amplitude_(amplitude), period_(period), generator_(seed) {
        to_ = draw();
    }
    double step(double x) {
        phase_ = phase_ + 2.0f;
        if (phase_ >= period_) {
            phase_ = phase_ - period_;
            from_ = to_;
            to_ = draw();
        }
        const float f = phase_ / period_;
        return x + widened(((1.0f - f) * from_ + f * to_) * amplitude_);
    }
    float firstPoint() const { return to_; }

private:
    float draw() { return 2.0f * (static_cast<float>(generator_()) * 2.3283064e-10f) + -1.0f; }
    float amplitude_, period_, phase_ = 0.0f, from_ = 0.0f, to_ = 0.0f;
    std::mt19937 generator_;
};

TEST(FilterNoise, FollowsTheSeededGeneratorExactly) {
    auto noise = chainOf("NOISE(VALUE;0.5;7;42.9)");
    NoiseReference reference(0.5f, 7.0f, 42);
    EXPECT_EQ(run(noise, 1.0), 1.0 + widened((2.0f / 7.0f) * reference.firstPoint() * 0.5f));
    reference.step(1.0);
    for (int step = 1; step < 500; ++step) ASSERT_EQ(run(noise, 0.25 * step), reference.step(0.25 * step)) << step;

    // Equal seeds give equal noise; a negative seed keeps its low 32 bits.
    auto a = chainOf("NOISE(VALUE;1;10;-5)");
    auto b = chainOf("NOISE(VALUE;1;10;-5.9)");
    NoiseReference negative(1.0f, 10.0f, 0xFFFFFFFBu);
    for (int step = 0; step < 50; ++step) {
        const double expected = negative.step(0.0);
        ASSERT_EQ(run(a, 0.0), expected);
        ASSERT_EQ(run(b, 0.0), expected);
    }
    EXPECT_EQ(tarvelin::NoiseLayer::generatorSeed(4294967296.0f + 0.0f), 0u);
    EXPECT_EQ(tarvelin::NoiseLayer::generatorSeed(1e30f), 0u);
}

TEST(FilterNoise, DegeneratePeriodsStayFiniteAndBounded) {
    auto none = chainOf("NOISE(VALUE;1;0;1)");
    auto negative = chainOf("NOISE(VALUE;1;-4;1)");
    auto short_period = chainOf("NOISE(VALUE;1;0.5;1)");
    for (int step = 0; step < 10000; ++step) {
        ASSERT_EQ(run(none, 3.0), 3.0);
        ASSERT_EQ(run(negative, 3.0), 3.0);
        const double y = run(short_period, 0.0);
        ASSERT_LE(std::fabs(y), 1.0) << step;
    }
}

TEST(FilterUnknownType, PassesTheValue) {
    auto chain = prependFilter(nullptr, static_cast<FilterType>(77), 5.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(chain->name, "UNKNOWN");
    chain->valid.exchange(true);
    EXPECT_EQ(run(chain, 0.3), 0.3);
}

TEST(FilterChain, EvaluatesFromValueOutwardsInWritingOrder) {
    EXPECT_EQ(run(chainOf("GAIN(ADD(VALUE;1);2)"), 3.0), 8.0);
    EXPECT_EQ(run(chainOf("ADD(GAIN(VALUE;2);1)"), 3.0), 7.0);

    auto chain = chainOf("GAIN(EMALP(VALUE;10);2)");
    EXPECT_EQ(chain->type, FilterType::Gain);
    auto head = chain->findHead();
    ASSERT_EQ(head->type, FilterType::Value);
    EXPECT_EQ(head->name, "VALUE");
    auto middle = head->following();
    ASSERT_TRUE(middle);
    EXPECT_EQ(middle->name, "EMALP");
    EXPECT_EQ(middle->param1, 10.0f);
    EXPECT_EQ(middle->following(), chain);
    EXPECT_EQ(chain->previous(), middle);
    EXPECT_FALSE(chain->following());
    EXPECT_FALSE(head->previous());
}

TEST(FilterChain, PrependFilterBuildsInFrontAndKeepsTheHandle) {
    auto handle = prependFilter(nullptr, FilterType::Gain, 2.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(prependFilter(handle, FilterType::Add, 1.0f, 0.0f, 0.0f, 0.0f), handle);
    EXPECT_EQ(prependFilter(handle, FilterType::Value, 0.0f, 0.0f, 0.0f, 0.0f), handle);
    EXPECT_FALSE(handle->valid.load());
    handle->valid.exchange(true);
    EXPECT_EQ(run(handle, 3.0), 8.0);

    auto noise = prependFilter(nullptr, FilterType::Noise, 1.0f, 10.0f, 3.0f, 0.0f);
    ASSERT_TRUE(noise->noise);
    EXPECT_EQ(noise->noise->toValue, NoiseReference(1.0f, 10.0f, 3).firstPoint());
    EXPECT_FALSE(handle->findHead()->noise);
}

TEST(FilterChain, ReleasingTheHandleReleasesEveryNode) {
    std::weak_ptr<FilterSys> head;
    {
        auto chain = chainOf("GAIN(EMALP(CROP(VALUE;-10;10);20);0.5)");
        head = chain->findHead();
        EXPECT_FALSE(head.expired());
    }
    EXPECT_TRUE(head.expired());
}

TEST(FilterChain, EvaluationEndsAtTheLastNodeStillAlive) {
    auto chain = chainOf("GAIN(ADD(VALUE;1);2)");
    auto head = chain->findHead();
    auto add = head->following();
    head->valid.exchange(true);  // evaluate from a part of the chain, then drop the rest
    chain.reset();
    EXPECT_EQ(add->following(), nullptr);
    EXPECT_EQ(run(head, 3.0), 4.0);
}

TEST(FilterChain, VeryLongChainsParseEvaluateAndReleaseWithoutRecursion) {
    constexpr int depth = 200000;
    std::string text;
    text.reserve(depth * 5 + 5);
    for (int i = 0; i < depth; ++i) text += "ABS(";
    text += "VALUE";
    text.append(depth, ')');
    auto chain = chainOf(text);
    EXPECT_EQ(run(chain, -2.0), 2.0);
    chain.reset();  // a recursive release would overflow the stack here
}
