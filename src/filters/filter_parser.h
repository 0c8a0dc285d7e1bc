#pragma once
// The filter language: the short texts in which hosts describe a slot's filter chain, such as
// GAIN(EMALP(CROP(VALUE;-10;10);20);0.5). A filter applies to the inner string written first
// in its parentheses; its parameters follow, each after a ';'. "VALUE" is the slot's input.
//
// Parsing works from the outside in, one level per pass, and takes each filter's parameters
// off the end of its argument text. It never throws and never logs: a string that is not
// understood yields a chain that evaluates to 0.0. White space and case are tested on single
// ASCII bytes, whatever the process locale; other bytes are neither white space nor letters.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "filters/filter_sys.h"

namespace tarvelin {

// The largest filter string read, in bytes, and the most filters a chain may hold around VALUE.
// Real chains are some 50 bytes and up to six filters long; the limits leave room for many times
// that, keep a host's mistake from costing memory in proportion to it, and bound what a cycle
// spends on one slot (every filter is evaluated 500 times a second). A string beyond either is
// rejected before anything is built.
inline constexpr std::size_t filterStringLengthLimit = 1024;
inline constexpr int chainFilterLimit = 32;

// The filter string a host handed in as a zero-terminated byte string: null reads as empty, and
// no more than one byte beyond filterStringLengthLimit is looked at (that byte makes it too
// long), however long the host's string is.
std::string_view filterTextOf(const char* text);

// The chain the text describes; never null. The result is the chain handle (the outermost
// filter); its `valid` flag tells whether the whole text was understood. An invalid result is
// a fresh node with no links and no parameters. Thread-safe (touches no shared state).
std::shared_ptr<FilterSys> parseFilterString(std::string_view text);

// Takes the number after the last ';' of `arguments`: on success stores it in `value`, cuts
// `arguments` before that ';' and returns true; otherwise returns false and changes neither.
// Accepted numbers: decimal with '.' or ',' as the decimal mark and an optional sign (no
// exponent), "0x" followed by hexadecimal digits (unsigned 32-bit), "-0x..." (signed 64-bit);
// white space around the number is allowed.
bool popTrailingParameter(std::string_view& arguments, double& value);

// What is wrong with a filter string, for the people who write them. The numbers are those of
// the explaining export and never change.
enum class FilterFault : int {
    none = 0,
    empty = 1,            // no string, or no inner string where VALUE or a filter belongs
    unknownName = 2,      // a name that is no filter (also "value" in small letters)
    parameterCount = 3,   // too few or too many parameters for the filter
    notANumber = 4,       // a parameter that is not a number the language reads
    parentheses = 5,      // parentheses that do not pair up, or a filter written without them
    unexpectedText = 6,   // text that stands where only VALUE may (white space around it)
    parameterRange = 7,   // a number the filter refuses (an EMA period below 1 cycle)
    ignoredText = 8,      // the string is accepted, but text after a ')' is ignored
    tooLong = 9,          // longer than filterStringLengthLimit bytes
    tooManyFilters = 10,  // more than chainFilterLimit filters in the chain
};

struct FilterDiagnosis {
    bool accepted = false;  // exactly when parseFilterString yields a valid chain
    FilterFault fault = FilterFault::none;
    std::size_t position = 0;  // byte offset into the text where the fault begins
    std::string message;       // one short sentence; empty when there is nothing to say
};

// Reads `text` exactly as parseFilterString does (it is the same reading) and says why it is
// rejected, or what of it is ignored, and where. Builds no chain. Thread-safe.
FilterDiagnosis explainFilterString(std::string_view text);

}  // namespace tarvelin
