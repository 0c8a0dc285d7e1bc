// The filter language: which strings are accepted, how numbers are read and where
// parameters land.

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "filters/filter_parser.h"

using tarvelin::FilterType;
using tarvelin::parseFilterString;

namespace {

bool accepted(std::string_view text) { return parseFilterString(text)->valid.load(); }

float stored(const std::string& number) { return parseFilterString("GAIN(VALUE;" + number + ")")->param1; }

// `depth` ABS filters around VALUE.
std::string nestedAbs(std::size_t depth) {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) text += "ABS(";
    return text + "VALUE" + std::string(depth, ')');
}

}  // namespace

TEST(FilterLanguage, AcceptsWhatTheGrammarAllows) {
    for (const char* text : {
             "VALUE", "  VALUE\t\n", "gain(VALUE;2)", "  GaIn  (VALUE; 2 )", "GAIN(  emalp(VALUE;3);2)",
             "GAIN(VALUE;2)xyz", "GAIN(EMALP(VALUE;3)junk;2)", "ABS(VALUE)", "ABS(GAIN(VALUE;2))",
             "EMALP(VALUE;1)", "EMAHP(VALUE;1)", "REMAP(VALUE;0;1;0;5)", "REMAP(VALUE;1;0;0;5)",
             "SPIKE(VALUE;1;2;3;0)", "EDYNLP(VALUE;1;2;0)", "LDYNLP(VALUE;1;2;0)", "NOISE(VALUE;1;2;3)",
             "SINUS(VALUE;1;1)", "LOGISTIC(VALUE;10;1)", "ROLLOVER(VALUE;10)", "SETVALUE(VALUE;3)",
             "ADD(VALUE;3)", "MUL(VALUE;3)", "CROP(VALUE;1;2)", "BITSCALE(VALUE;1;2)",
             "BITSCALESIGNED(VALUE;1;2)"}) {
        EXPECT_TRUE(accepted(text)) << text;
    }
}

TEST(FilterLanguage, RejectsEverythingElse) {
    for (const char* text : {
             // VALUE is exact, upper case, innermost, without parentheses or space around it inside.
             "", "   ", "value", "Value", "VALUE()", "GAIN(value;2)", "GAIN( VALUE;2)", "GAIN(VALUE ;2)",
             // Names from the table only; parentheses in order, the last ')' closing the filter.
             "GAINS(VALUE;2)", "(VALUE;2)", "UNKNOWN(VALUE;2)", "VALUE(VALUE;2)", "GA IN(VALUE;2)",
             "GAIN(VALUE;2", "GAIN VALUE;2)", ")GAIN(VALUE;2", "GAIN)(VALUE;2", "GAIN(VALUE;2) junk)",
             // Exactly the listed number of parameters, no defaults.
             "GAIN(VALUE)", "GAIN(2)", "GAIN(;2)", "GAIN(VALUE;1;2)", "GAIN(VALUE;)", "ABS(VALUE;1)",
             "CROP(VALUE;1)", "SPIKE(VALUE;1;2;3)", "EDYNLP(VALUE;1;2)", "NOISE(VALUE;1;2)",
             "REMAP(VALUE;0;1;2)", "CROP(EMALP(VALUE;10);5)",
             // The checks on the written doubles.
             "EMALP(VALUE;0.99)", "EMAHP(VALUE;-5)", "REMAP(VALUE;1;1;0;5)", "REMAP(VALUE;1;1.0000000001;0;5)",
             // Bytes beyond ASCII are neither space nor letters.
             "\xA0VALUE", "\x80(VALUE;1)"}) {
        EXPECT_FALSE(accepted(text)) << text;
    }
    EXPECT_FALSE(accepted(std::string_view("VALUE\0", 6)));
}

TEST(FilterLanguage, ReadsDecimalCommaAndHexadecimalNumbers) {
    const std::pair<std::string, float> numbers[] = {
        {"0,5", 0.5f}, {" 2 ", 2.0f}, {"+.5", 0.5f}, {"-3.", -3.0f}, {"1.5.2", 1.5f}, {"2-3", 2.0f},
        {"0x10", 16.0f}, {"-0x10", -16.0f}, {"0xfF", 255.0f}, {"0x", 0.0f}, {"0xFFFFFFFF", 4294967295.0f},
        {"-0x8000000000000000", -9223372036854775808.0f}, {"0.1", 0.1f},
        {std::string(40, '9'), std::numeric_limits<float>::infinity()},  // a double, too large for a float
    };
    for (const auto& [text, value] : numbers) EXPECT_EQ(stored(text), value) << text;

    for (const char* text : {"0X10", "1e3", "0x1G", "1 0", "--1", "+-1", "-", ".", "abc", "0x-1", "+0x10",
                             "0x100000000", "-0x8000000000000001"}) {
        EXPECT_FALSE(accepted(std::string("GAIN(VALUE;") + text + ")")) << text;
    }
    EXPECT_FALSE(accepted("GAIN(VALUE;1" + std::string(400, '0') + ")"));    // beyond the double range
    EXPECT_FALSE(accepted("GAIN(VALUE;0." + std::string(400, '0') + "1)"));  // rounds to zero
    EXPECT_TRUE(accepted("GAIN(VALUE;0." + std::string(320, '0') + "1)"));   // subnormal, still a double
}

TEST(FilterLanguage, PopsTheLastNumberOrLeavesTheTextAlone) {
    std::string_view text = "EMALP(VALUE;10);5; 2 ";
    double value = 0.0;
    ASSERT_TRUE(tarvelin::popTrailingParameter(text, value));
    EXPECT_EQ(value, 2.0);
    EXPECT_EQ(text, "EMALP(VALUE;10);5");
    for (std::string_view unchanged : {"EMALP(VALUE;10)", "VALUE;", "VALUE", "", "VALUE;x1", "VALUE;1 2"}) {
        std::string_view copy = unchanged;
        EXPECT_FALSE(tarvelin::popTrailingParameter(copy, value)) << unchanged;
        EXPECT_EQ(copy, unchanged);
    }
}

TEST(FilterLanguage, BuildsTheChainInnermostFirstWithParametersInWritingOrder) {
    auto chain = parseFilterString("GAIN(REMAP(CROP(VALUE;-10;10);1;2;3;4);0.5)");
    std::vector<std::shared_ptr<tarvelin::FilterSys>> nodes;
    for (auto node = chain->findHead(); node; node = node->following()) nodes.push_back(node);
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0]->type, FilterType::Value);
    EXPECT_EQ(nodes[1]->type, FilterType::Crop);
    EXPECT_EQ(nodes[1]->param1, -10.0f);
    EXPECT_EQ(nodes[1]->param2, 10.0f);
    EXPECT_EQ(nodes[2]->name, "REMAP");
    EXPECT_EQ((std::vector<float>{nodes[2]->param1, nodes[2]->param2, nodes[2]->param3, nodes[2]->param4}),
              (std::vector<float>{1.0f, 2.0f, 3.0f, 4.0f}));
    EXPECT_EQ(nodes[3], chain);
    EXPECT_EQ(chain->param1, 0.5f);
    EXPECT_FALSE(nodes[0]->valid.load());

    // Extra numbers after an inner filter's ')' are trailing text of that level.
    auto extra = parseFilterString("GAIN(EMALP(VALUE;10);5;2)");
    EXPECT_EQ(extra->param1, 2.0f);
    EXPECT_EQ(extra->previous()->param1, 10.0f);
    auto noise = parseFilterString("NOISE(VALUE;0.5;100;7)");
    EXPECT_EQ(noise->noise->amplitude, 0.5f);
    EXPECT_EQ(noise->noise->period, 100.0f);
}

TEST(FilterLanguage, FailureYieldsAFreshUnlinkedNode) {
    for (const char* text : {"GAIN(EMALP(VALUE;0.5);2)", "NOISE(VALUE;1;2;3", "GAIN(EMALP(value;10);2)"}) {
        auto chain = parseFilterString(text);
        EXPECT_FALSE(chain->valid.load()) << text;
        EXPECT_EQ(chain->name, "");
        EXPECT_EQ(chain->param1, 0.0f);
        EXPECT_FALSE(chain->previous());
        EXPECT_FALSE(chain->noise);
    }
}

TEST(FilterLanguage, ExplainsEachRejectionAtItsPlace) {
    using tarvelin::FilterFault;
    struct Case {
        std::string text;
        FilterFault fault;
        std::size_t position;
        const char* says;  // a part of the message
    };
    const Case cases[] = {
        {"", FilterFault::empty, 0, "empty"},
        {"  \t", FilterFault::empty, 0, "empty"},
        {"GAIN(;2)", FilterFault::empty, 5, "GAIN has no inner string"},
        {"GAINS(VALUE;2)", FilterFault::unknownName, 0, "'GAINS' (did you mean GAIN?)"},
        {"  lowpass(VALUE;2)", FilterFault::unknownName, 2, "unknown filter name 'lowpass'"},
        {"(VALUE;2)", FilterFault::unknownName, 0, "name is missing"},
        {"VALUE(VALUE;2)", FilterFault::unknownName, 0, "VALUE takes no parentheses"},
        {"value", FilterFault::unknownName, 0, "in capitals"},
        {"GAIN(value;2)", FilterFault::unknownName, 5, "in capitals"},
        {"GAIN(VALUE)", FilterFault::parameterCount, 10, "GAIN takes 1 parameter: GAIN(inner;factor)"},
        {"CROP(EMALP(VALUE;10);5)", FilterFault::parameterCount, 20, "CROP takes 2 parameters"},
        {"SPIKE(VALUE;1;2;3)", FilterFault::parameterCount, 11, "SPIKE takes 4 parameters"},
        {"GAIN(VALUE;1;2)", FilterFault::parameterCount, 10, "too many parameters: GAIN takes 1"},
        {"ABS(VALUE;1)", FilterFault::parameterCount, 9, "ABS takes no parameters"},
        {"GAIN(VALUE;1e3)", FilterFault::notANumber, 11, "'1e3' is not a number"},
        {"GAIN(VALUE; 2 m )", FilterFault::notANumber, 12, "'2 m' is not a number"},
        {"GAIN(VALUE;0x1G)", FilterFault::notANumber, 11, "not a number"},
        {"GAIN(VALUE;)", FilterFault::notANumber, 11, "a number is missing"},
        {"GAIN(EMALP(VALUE;10);2", FilterFault::parentheses, 4, "never closed"},
        {"GAIN(VALUE;2))", FilterFault::parentheses, 13, "closes no '('"},
        {"GAIN(VALUE;2) junk)", FilterFault::parentheses, 18, "closes no '('"},
        {")GAIN(VALUE;2", FilterFault::parentheses, 0, "closes no '('"},
        {"GAIN", FilterFault::parentheses, 4, "GAIN needs parentheses"},
        {"GAIN( VALUE;2)", FilterFault::unexpectedText, 5, "white space"},
        {"GAIN(VALUE ;2)", FilterFault::unexpectedText, 10, "unexpected text after VALUE"},
        {"VALUE x", FilterFault::unexpectedText, 5, "unexpected text after VALUE"},
        {"EMALP(VALUE;0.99)", FilterFault::parameterRange, 12, "must be 1 or more"},
        {"GAIN(EMAHP(VALUE;-5);2)", FilterFault::parameterRange, 17, "EMAHP's period"},
        {"REMAP(VALUE;1;1;0;5)", FilterFault::parameterRange, 14, "must differ"},
        // Beyond the sizes no real chain comes near, refused before anything is built.
        {nestedAbs(33), FilterFault::tooManyFilters, 128, "more than 32 filters"},
        {nestedAbs(200000), FilterFault::tooLong, 1024, "longer than 1024 bytes"},
        {"GAIN(VALUE;2)" + std::string(1100, ' '), FilterFault::tooLong, 1024, "longer than 1024 bytes"},
    };
    for (const auto& c : cases) {
        const auto diagnosis = tarvelin::explainFilterString(c.text);
        EXPECT_FALSE(diagnosis.accepted) << c.text;
        EXPECT_EQ(diagnosis.fault, c.fault) << c.text << ": " << diagnosis.message;
        EXPECT_EQ(diagnosis.position, c.position) << c.text << ": " << diagnosis.message;
        EXPECT_NE(diagnosis.message.find(c.says), std::string::npos) << c.text << ": " << diagnosis.message;
    }

    // Accepted strings: nothing to say, or the text that is read past.
    for (const std::string& text : {std::string("VALUE"), std::string(" gain(EMALP(VALUE;10);2) "), std::string("ABS(VALUE)"),
                                     nestedAbs(32), "GAIN(VALUE;2)" + std::string(1011, ' ')}) {
        const auto diagnosis = tarvelin::explainFilterString(text);
        EXPECT_TRUE(diagnosis.accepted) << text;
        EXPECT_EQ(diagnosis.fault, FilterFault::none) << text;
        EXPECT_EQ(diagnosis.message, "") << text;
    }
    for (const auto& [text, position] : {std::pair{"GAIN(VALUE;2) junk", 14u}, {"GAIN(EMALP(VALUE;10);5;2)", 20u}}) {
        const auto diagnosis = tarvelin::explainFilterString(text);
        EXPECT_TRUE(diagnosis.accepted) << text;
        EXPECT_EQ(diagnosis.fault, FilterFault::ignoredText) << text;
        EXPECT_EQ(diagnosis.position, position) << text;
    }
}
