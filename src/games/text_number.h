#pragma once
// Numbers in the text that some games send instead of binary values.

#include <optional>
#include <string_view>

namespace tarvelin {

// The number at the start of `text`, read as the C library's strtod reads it in the "C" locale:
// leading white space skipped, an optional sign, digits with an optional fraction and exponent,
// whatever follows ignored. Empty when no number starts there, when it lies outside the range of
// the type, and when it is not finite ("inf", "nan"), since no such value may reach a rig.
// Hexadecimal forms are not read; no game sends them. Unlike strtod it ignores the process's
// locale, which a host may have set to one with a decimal comma. Pure; no allocation.
std::optional<double> leadingDouble(std::string_view text);
std::optional<float> leadingFloat(std::string_view text);

}  // namespace tarvelin
