#pragma once
// The filter language: the short texts in which hosts describe a slot's filter chain, such as
// GAIN(EMALP(CROP(VALUE;-10;10);20);0.5). A filter applies to the inner string written first
// in its parentheses; its parameters follow, each after a ';'. "VALUE" is the slot's input.
//
// Parsing works from the outside in, one level per pass, and takes each filter's parameters
// off the end of its argument text. It never throws and never logs: a string that is not
// understood yields a chain that evaluates to 0.0. White space and case are tested on single
// ASCII bytes, whatever the process locale; other bytes are neither white space nor letters.

#include <memory>
#include <string_view>

#include "filters/filter_sys.h"

namespace tarvelin {

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

}  // namespace tarvelin
