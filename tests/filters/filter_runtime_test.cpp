// The arithmetic of every filter kind, with its float parameters and state and its double
// running value, and the linking and evaluation of chains.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "filter_test_support.h"

using filter_test::chainOf;
using filter_test::run;
using filter_test::widened;
using tarvelin::FilterType;

namespace {

struct Sequence {
    const char* text;
    std::vector<double> inputs;
    std::vector<double> outputs;
};

}  // namespace

TEST(FilterKinds, GiveTheirDefinedValues) {
    const double tenth = widened(0.1f);  // 0.1 as a float parameter
    const Sequence sequences[] = {
        {"VALUE", {0.1}, {0.1}},
        {"GAIN(VALUE;0.1)", {3.0}, {3.0 * tenth}},
        {"MUL(VALUE;0.1)", {3.0}, {3.0 * tenth}},
        {"ADD(VALUE;0.1)", {1.0}, {1.0 + tenth}},
        {"SETVALUE(VALUE;0.1)", {55.0}, {tenth}},
        {"ABS(VALUE)", {-2.5}, {2.5}},
        {"CROP(VALUE;-1;1)", {5.0, -5.0, 0.25}, {1.0, -1.0, 0.25}},
        {"CROP(VALUE;1;-1)", {-9.0, 9.0}, {1.0, 1.0}},
        {"REMAP(VALUE;0;10;0;100)", {5.0, 20.0}, {50.0, 200.0}},
        {"REMAP(VALUE;0;10;100;200)", {5.0}, {150.0}},
        {"REMAP(VALUE;1;1.00000001;0;5)", {7.0}, {7.0}},  // bounds equal as floats
        {"BITSCALE(VALUE;100;255)", {-3.0, 50.0, 300.0}, {0.0, 127.5, 255.0}},
        {"BITSCALE(VALUE;0;255)", {50.0}, {0.0}},
        {"BITSCALE(VALUE;3;0.7)", {1.0}, {1.0 / 3.0 * widened(0.7f)}},
        {"BITSCALESIGNED(VALUE;100;255)", {-300.0, -50.0}, {-255.0, -127.5}},
        {"LOGISTIC(VALUE;10;1)", {0.0, 1000000.0, -1000000.0}, {0.0, 10.0, -10.0}},
        {"EMALP(VALUE;10)", {1.0}, {tenth}},
        {"EMAHP(VALUE;1)", {0.1}, {0.1 - tenth}},
        {"EMAHP(VALUE;4)", {8.0, 8.0}, {6.0, 4.5}},
        {"EDYNLP(VALUE;1;1;0)", {0.5, 3.5}, {0.5, 0.5 + 3.0 / 4.0}},
        {"LDYNLP(VALUE;1;1;7)", {3.0}, {1.5}},
        {"SPIKE(VALUE;1;2;3;99)", {3.0}, {3.0 / 16.0}},  // exponent p3: 3 / (2^3 * 2)
        {"SPIKE(VALUE;1;0.01;1;0)", {3.0}, {3.0}},       // divisor lifted to 1
        {"ROLLOVER(VALUE;10)", {25.0, -25.0, 35.0, 10.0}, {-5.0, 5.0, -5.0, 10.0}},
        {"GAIN(ADD(VALUE;1);2)", {3.0}, {8.0}},
        {"ADD(GAIN(VALUE;2);1)", {3.0}, {7.0}},
    };
    for (const auto& sequence : sequences) {
        auto chain = chainOf(sequence.text);
        for (std::size_t i = 0; i < sequence.inputs.size(); ++i) {
            EXPECT_EQ(run(chain, sequence.inputs[i]), sequence.outputs[i]) << sequence.text << " step " << i;
        }
    }
    EXPECT_NEAR(run(chainOf("LOGISTIC(VALUE;10;1)"), 30.0), 10.0 * std::tanh(3.0), 1e-9);
    auto prefix = chainOf("LOGISTIC(VALUE;0;1)");  // a zero bound becomes 1e-9
    EXPECT_TRUE(std::isfinite(run(prefix, 5.0)));
}

// Each case below would come out differently if a float were widened one step earlier or
// later; the comparisons with the wrong order prove that the inputs tell them apart.
TEST(FilterKinds, WidenParametersWhereUsedAndNarrowStateWhenStored) {
    const double x = 0.021;
    const float emaState = static_cast<float>(x / 3.0);
    ASSERT_NE(emaState, static_cast<float>(x) / 3.0f);
    EXPECT_EQ(run(chainOf("EMALP(VALUE;3)"), x), widened(emaState));

    const double span = widened(100000000.0f) - widened(0.1f);
    ASSERT_NE(span, widened(100000000.0f - 0.1f));
    EXPECT_EQ(run(chainOf("REMAP(VALUE;0.1;100000000;0;1)"), 5e7), (5e7 - widened(0.1f)) * (1.0 / span));

    const float phase = static_cast<float>(widened(1.0f) * 6.283185307179586 * 0.002);
    ASSERT_NE(widened(std::sin(phase)), std::sin(widened(phase)));
    EXPECT_EQ(run(chainOf("SINUS(VALUE;1;1)"), 1234.0), widened(std::sin(phase)));

    auto band = chainOf("LDYNLP(VALUE;1;1;0)");
    EXPECT_EQ(run(band, 0.1), 0.1);  // inside the band the input passes, the state keeps a float
    const double d = 5.1 - widened(0.1f);
    EXPECT_EQ(run(band, 5.1), widened(static_cast<float>(widened(0.1f) + d / (d - 1.0))));

    auto scaled = chainOf("EMAHP(VALUE;4)");
    EXPECT_EQ(tarvelin::evaluate(scaled, 8.0, 1.0, 1.0, 0.5), 4.0);  // divisor 4 * 0.5
    EXPECT_EQ(tarvelin::evaluate(chainOf("EMALP(VALUE;10)"), 0.1, 1.0, 0.05, 1.0), widened(0.1f));
    EXPECT_EQ(tarvelin::evaluate(chainOf("VALUE"), 0.1, 3.0, 1.0, 1.0), 0.1 * 3.0);
}

TEST(FilterKinds, SinusWrapsItsFloatPhase) {
    auto sinus = chainOf("SINUS(VALUE;0.5;2)");
    float phase = 0.0f;
    for (int step = 0; step < 300; ++step) {
        phase = static_cast<float>(phase + widened(2.0f) * 6.283185307179586 * 0.002);
        if (phase > 6.283185307179586) phase = static_cast<float>(std::fmod(widened(phase), 6.283185307179586));
        ASSERT_EQ(run(sinus, 0.0), widened(std::sin(phase)) * widened(0.5f)) << "step " << step;
    }
}

// NOISE written out from the generator: points drawn as 2 * (r * 2^-32) - 1 in float.
class NoiseReference {
public:
    NoiseReference(float amplitude, float period, std::uint32_t seed)
        : amplitude_(amplitude), period_(period), generator_(seed), to_(draw()) {}
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

private:
    float draw() { return 2.0f * (static_cast<float>(generator_()) * 2.3283064e-10f) + -1.0f; }
    float amplitude_, period_, phase_ = 0.0f, from_ = 0.0f;
    std::mt19937 generator_;
    float to_;
};

TEST(FilterNoise, FollowsTheSeededGeneratorExactly) {
    auto noise = chainOf("NOISE(VALUE;0.5;7;42.9)");
    NoiseReference reference(0.5f, 7.0f, 42);
    for (int step = 0; step < 500; ++step) ASSERT_EQ(run(noise, 0.25 * step), reference.step(0.25 * step)) << step;

    // A negative seed keeps the low 32 bits of its truncation; one beyond 64 bits seeds 0.
    auto a = chainOf("NOISE(VALUE;1;10;-5.9)");
    NoiseReference negative(1.0f, 10.0f, 0xFFFFFFFBu);
    for (int step = 0; step < 50; ++step) ASSERT_EQ(run(a, 0.0), negative.step(0.0));
    EXPECT_EQ(tarvelin::NoiseLayer::generatorSeed(1e30f), 0u);
}

TEST(FilterNoise, DegeneratePeriodsStayBounded) {
    auto none = chainOf("NOISE(VALUE;1;0;1)");
    auto negative = chainOf("NOISE(VALUE;1;-4;1)");
    auto shortPeriod = chainOf("NOISE(VALUE;1;0.5;1)");
    for (int step = 0; step < 10000; ++step) {
        ASSERT_EQ(run(none, 3.0), 3.0);
        ASSERT_EQ(run(negative, 3.0), 3.0);
        ASSERT_LE(std::fabs(run(shortPeriod, 0.0)), 1.0) << step;
    }
}

TEST(FilterChain, InvalidOrClearedHandleYieldsZeroWithoutAdvancing) {
    EXPECT_EQ(run(tarvelin::parseFilterString("EMALP(VALUE;10"), 123.0), 0.0);
    EXPECT_EQ(run(nullptr, 1.0), 0.0);
    auto chain = chainOf("EMALP(VALUE;2)");
    chain->valid.exchange(false);
    EXPECT_EQ(run(chain, 8.0), 0.0);
    chain->valid.exchange(true);
    EXPECT_EQ(run(chain, 8.0), 4.0);

    auto unknown = tarvelin::prependFilter(nullptr, static_cast<FilterType>(77), 5.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(unknown->name, "UNKNOWN");
    unknown->valid.exchange(true);
    EXPECT_EQ(run(unknown, 0.3), 0.3);
}

TEST(FilterChain, LinksRunFromValueToTheHandle) {
    auto chain = chainOf("GAIN(EMALP(VALUE;10);2)");
    auto head = chain->findHead();
    ASSERT_EQ(head->name, "VALUE");
    auto middle = head->following();
    ASSERT_TRUE(middle);
    EXPECT_EQ(middle->name, "EMALP");
    EXPECT_EQ(middle->following(), chain);
    EXPECT_EQ(chain->previous(), middle);
    EXPECT_FALSE(chain->following());
    EXPECT_FALSE(head->previous());

    auto handle = tarvelin::prependFilter(nullptr, FilterType::Gain, 2.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(tarvelin::prependFilter(handle, FilterType::Noise, 0.0f, 10.0f, 3.0f, 0.0f), handle);
    EXPECT_EQ(tarvelin::prependFilter(handle, FilterType::Value, 0.0f, 0.0f, 0.0f, 0.0f), handle);
    ASSERT_TRUE(handle->findHead()->following()->noise);
    EXPECT_FALSE(handle->noise);
}

TEST(FilterChain, ReleasingTheHandleReleasesNodesNotHeldElsewhere) {
    auto chain = chainOf("GAIN(ADD(VALUE;1);2)");
    auto head = chain->findHead();
    std::weak_ptr<tarvelin::FilterSys> add = head->following();
    head->valid.exchange(true);
    chain.reset();
    EXPECT_TRUE(add.expired());
    EXPECT_FALSE(head->following());
    EXPECT_EQ(run(head, 3.0), 3.0);  // evaluation ends at the last node still alive
}

// The parser builds no chain longer than its limit, but evaluation and release do not rely on
// that: a chain of any length is walked and released without recursion.
TEST(FilterChain, VeryLongChainsEvaluateAndReleaseWithoutRecursion) {
    constexpr int depth = 200000;
    const auto abs = [] { return tarvelin::prependFilter(nullptr, FilterType::Abs, 0.0f, 0.0f, 0.0f, 0.0f); };
    auto chain = abs();
    auto head = chain;
    for (int i = 1; i < depth; ++i) {
        auto node = abs();
        tarvelin::linkInFront(*head, node);
        head = std::move(node);
    }
    tarvelin::linkInFront(*head, tarvelin::prependFilter(nullptr, FilterType::Value, 0.0f, 0.0f, 0.0f, 0.0f));
    head.reset();
    chain->valid.exchange(true);
    EXPECT_EQ(run(chain, -2.0), 2.0);
    chain.reset();  // a recursive release would overflow the stack here
}
