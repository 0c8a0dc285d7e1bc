// The filter language: which strings are accepted, how parameters are read and where they
// land, grouped by grammar rule.

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "filter_test_support.h"
#include "filters/filter_parser.h"

using tarvelin::FilterSys;
using tarvelin::FilterType;
using tarvelin::parseFilterString;
using tarvelin::popTrailingParameter;

namespace {

bool accepted(std::string_view text) { return parseFilterString(text)->valid.load(); }

void expectAll(const std::vector<std::string>& texts, bool valid) {
    for (const auto& text : texts) EXPECT_EQ(accepted(text), valid) << "\"" << text << "\"";
}

// The nodes of a chain in evaluation order.
std::vector<std::shared_ptr<FilterSys>> nodesOf(const std::shared_ptr<FilterSys>& chain) {
    std::vector<std::shared_ptr<FilterSys>> nodes;
    for (auto node = chain->findHead(); node; node = node->following()) nodes.push_back(node);
    return nodes;
}

float storedParameter(const std::string& number) {
    return parseFilterString("GAIN(VALUE;" + number + ")")->param1;
}

}  // namespace

TEST(FilterLanguageValue, StandsAloneOrInnermostExactlyAsWritten) {
    expectAll({"VALUE", "  VALUE\t\n", "GAIN(VALUE;2)"}, true);
    expectAll({"value", "Value", "VALUE()", "", "   ", "GAIN( VALUE;2)", "GAIN(VALUE ;2)", "GAIN(value;2)"}, false);

    auto single = parseFilterString(" VALUE ");
    EXPECT_EQ(single->type, FilterType::Value);
    EXPECT_FALSE(single->previous());
    EXPECT_FALSE(single->following());
}

TEST(FilterLanguageNames, AreCaseInsensitiveAndTrimmed) {
    expectAll({"gain(VALUE;2)", "GaIn(VALUE;2)", "  GAIN  (VALUE;2)", "GAIN(  emalp(VALUE;3);2)"}, true);
    expectAll({"GAINS(VALUE;2)", "(VALUE;2)", "UNKNOWN(VALUE;2)", "VALUE(VALUE;2)", "GA IN(VALUE;2)"}, false);
    EXPECT_EQ(parseFilterString("bitscalesigned(VALUE;1;2)")->name, "BITSCALESIGNED");
}

TEST(FilterLanguageParentheses, NeedOpenBeforeLastCloseAndIgnoreTrailingText) {
    expectAll({"GAIN(VALUE;2)xyz", "GAIN(EMALP(VALUE;3)junk;2)"}, true);
    expectAll({"GAIN(VALUE;2", "GAIN VALUE;2)", ")GAIN(VALUE;2", "GAIN)(VALUE;2"}, false);
    // The last ')' of the whole string closes the outer filter.
    EXPECT_FALSE(accepted("GAIN(VALUE;2) garbage)"));
}

TEST(FilterLanguageParameters, AreTakenFromTheEndInWritingOrder) {
    auto remap = parseFilterString("REMAP(VALUE;1;2;3;4)");
    ASSERT_TRUE(remap->valid.load());
    EXPECT_EQ(remap->param1, 1.0f);
    EXPECT_EQ(remap->param2, 2.0f);
    EXPECT_EQ(remap->param3, 3.0f);
    EXPECT_EQ(remap->param4, 4.0f);

    auto noise = parseFilterString("NOISE(VALUE;0.5;100;7)");
    EXPECT_EQ(noise->noise->amplitude, 0.5f);
    EXPECT_EQ(noise->noise->period, 100.0f);
    EXPECT_EQ(noise->param3, 7.0f);
    EXPECT_EQ(noise->param4, 0.0f);
}

TEST(FilterLanguageParameters, CountMustMatchExactly) {
    expectAll({"GAIN(VALUE)", "GAIN(2)", "GAIN(;2)", "GAIN(VALUE;1;2)", "CROP(VALUE;1)", "SPIKE(VALUE;1;2;3)",
               "EDYNLP(VALUE;1;2)", "NOISE(VALUE;1;2)", "REMAP(VALUE;0;1;2)", "ABS(VALUE;1)", "GAIN(VALUE;)"},
              false);
    expectAll({"ABS(VALUE)", "ABS(GAIN(VALUE;2))", "SPIKE(VALUE;1;2;3;0)", "EDYNLP(VALUE;1;2;0)",
               "LDYNLP(VALUE;1;2;0)", "SINUS(VALUE;1;1)", "LOGISTIC(VALUE;10;1)", "ROLLOVER(VALUE;10)",
               "SETVALUE(VALUE;3)", "ADD(VALUE;3)", "MUL(VALUE;3)", "BITSCALE(VALUE;1;2)"},
              true);
    // Extra numbers after an inner filter's ')' are trailing text of that level.
    auto extra = parseFilterString("GAIN(EMALP(VALUE;10);5;2)");
    ASSERT_TRUE(extra->valid.load());
    EXPECT_EQ(extra->param1, 2.0f);
    EXPECT_EQ(nodesOf(extra)[1]->param1, 10.0f);
    // A parameter missing from an inner filter is not made up from the outer text.
    EXPECT_FALSE(accepted("CROP(EMALP(VALUE;10);5)"));
}

TEST(FilterLanguageChecks, RejectSlowFiltersBelowOneAndEmptyRemapRanges) {
    expectAll({"EMALP(VALUE;1)", "EMAHP(VALUE;1)", "REMAP(VALUE;0;1;0;5)", "REMAP(VALUE;1;1.00000001;0;5)",
               "REMAP(VALUE;1;0;0;5)"},
              true);
    expectAll({"EMALP(VALUE;0.99)", "EMAHP(VALUE;-5)", "REMAP(VALUE;1;1;0;5)", "REMAP(VALUE;1;1.0000000001;0;5)"},
              false);
}

TEST(FilterLanguageNumbers, AcceptDecimalCommaHexAndSurroundingSpace) {
    EXPECT_EQ(storedParameter("0,5"), 0.5f);
    EXPECT_EQ(storedParameter(" 2 "), 2.0f);
    EXPECT_EQ(storedParameter("+.5"), 0.5f);
    EXPECT_EQ(storedParameter("-3."), -3.0f);
    EXPECT_EQ(storedParameter("1.5.2"), 1.5f);
    EXPECT_EQ(storedParameter("2-3"), 2.0f);
    EXPECT_EQ(storedParameter("0x10"), 16.0f);
    EXPECT_EQ(storedParameter("-0x10"), -16.0f);
    EXPECT_EQ(storedParameter("0xfF"), 255.0f);
    EXPECT_EQ(storedParameter("0x"), 0.0f);
    EXPECT_EQ(storedParameter("0xFFFFFFFF"), 4294967295.0f);
    EXPECT_EQ(storedParameter("-0x8000000000000000"), -9223372036854775808.0f);
    // Stored as float: the written double is narrowed, an overflow becomes infinity.
    EXPECT_EQ(storedParameter("0.1"), 0.1f);
    EXPECT_EQ(storedParameter(std::string(40, '9')), std::numeric_limits<float>::infinity());
}

TEST(FilterLanguageNumbers, RejectOtherForms) {
    for (const char* number : {"0X10", "1e3", "0x1G", "1 0", "--1", "+-1", "-", ".", "abc", "0x-1", "+0x10", "0x100000000",
                               "-0x8000000000000001"}) {
        EXPECT_FALSE(accepted(std::string("GAIN(VALUE;") + number + ")")) << number;
    }
    EXPECT_FALSE(accepted("GAIN(VALUE;1" + std::string(400, '0') + ")"));       // beyond the double range
    EXPECT_FALSE(accepted("GAIN(VALUE;0." + std::string(400, '0') + "1)"));     // rounds to zero
    EXPECT_TRUE(accepted("GAIN(VALUE;0." + std::string(320, '0') + "1)"));      // subnormal, still a double
}

TEST(FilterLanguagePop, TakesTheLastNumberOrLeavesTheTextAlone) {
    std::string_view text = "EMALP(VALUE;10);5; 2 ";
    double value = 0.0;
    ASSERT_TRUE(popTrailingParameter(text, value));
    EXPECT_EQ(value, 2.0);
    EXPECT_EQ(text, "EMALP(VALUE;10);5");
    ASSERT_TRUE(popTrailingParameter(text, value));
    EXPECT_EQ(text, "EMALP(VALUE;10)");

    for (std::string_view unchanged : {"EMALP(VALUE;10)", "VALUE;", "VALUE", "", "VALUE;x1", "VALUE;1 2"}) {
        std::string_view copy = unchanged;
        value = -1.0;
        EXPECT_FALSE(popTrailingParameter(copy, value)) << unchanged;
        EXPECT_EQ(copy, unchanged);
        EXPECT_EQ(value, -1.0);
    }
}

TEST(FilterLanguageChains, BuildInnermostFirstWithTheOuterFilterAsHandle) {
    auto chain = parseFilterString("GAIN(EMALP(CROP(VALUE;-10;10);20);0.5)");
    ASSERT_TRUE(chain->valid.load());
    const auto nodes = nodesOf(chain);
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0]->type, FilterType::Value);
    EXPECT_EQ(nodes[1]->type, FilterType::Crop);
    EXPECT_EQ(nodes[1]->param1, -10.0f);
    EXPECT_EQ(nodes[1]->param2, 10.0f);
    EXPECT_EQ(nodes[2]->type, FilterType::Emalp);
    EXPECT_EQ(nodes[3], chain);
    for (std::size_t i = 0; i + 1 < nodes.size(); ++i) EXPECT_FALSE(nodes[i]->valid.load());
}

TEST(FilterLanguageFailures, YieldAFreshUnlinkedNode) {
    for (const char* text : {"GAIN(EMALP(VALUE;0.5);2)", "GAIN(EMALP(value;10);2)", "NOISE(VALUE;1;2;3", "\x80(VALUE;1)"}) {
        auto chain = parseFilterString(text);
        EXPECT_FALSE(chain->valid.load()) << text;
        EXPECT_EQ(chain->type, FilterType::Value);
        EXPECT_EQ(chain->name, "");
        EXPECT_EQ(chain->param1, 0.0f);
        EXPECT_FALSE(chain->previous());
        EXPECT_FALSE(chain->noise);
    }
    // Bytes beyond ASCII are neither space nor letters, and a NUL is an ordinary byte.
    EXPECT_FALSE(accepted("\xA0VALUE"));
    EXPECT_FALSE(accepted(std::string_view("VALUE\0", 6)));
}
