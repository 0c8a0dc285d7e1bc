#include "games/text_number.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace tarvelin {

namespace {

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

template <typename Number>
std::optional<Number> leadingNumber(std::string_view text) {
    const char* first = text.data();
    const char* const last = first + text.size();
    while (first != last && isSpace(*first)) ++first;
    // from_chars takes no plus sign; strtod takes one, but not before another sign.
    if (last - first >= 2 && *first == '+' && first[1] != '+' && first[1] != '-') ++first;
    Number value{};
    if (std::from_chars(first, last, value, std::chars_format::general).ec != std::errc{}) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> leadingDouble(std::string_view text) { return leadingNumber<double>(text); }
std::optional<float> leadingFloat(std::string_view text) { return leadingNumber<float>(text); }

}  // namespace tarvelin
