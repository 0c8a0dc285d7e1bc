#include "filters/filter_parser.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

namespace tarvelin {

namespace {

// The C library's character tests follow the process locale, which a host may change; the
// language is defined on the "C" locale's ASCII classes.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
char toUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

// A byte that may stand in a number or around it. Any other byte after the last ';' makes
// the number unreadable, so the search for that ';' can stop there.
bool mayBelongToNumber(char c) {
    return isHexDigit(c) || isSpace(c) || c == 'x' || c == '+' || c == '-' || c == '.' || c == ',';
}

std::optional<double> readHex(std::string_view digits, bool negative) {
    // Negative numbers are read as signed 64-bit, positive ones as unsigned 32-bit.
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : 0xFFFFFFFFu;
    std::uint64_t magnitude = 0;
    for (char c : digits) {
        const int digit = isDigit(c) ? c - '0' : toUpper(c) - 'A' + 10;
        if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / 16) return std::nullopt;
        magnitude = magnitude * 16 + static_cast<std::uint64_t>(digit);
    }
    const auto value = static_cast<double>(magnitude);
    return negative ? -value : value;
}

std::optional<double> readDecimal(std::string_view text) {
    std::string number(text);
    for (char& c : number) {
        if (c == ',') c = '.';
        if (!isDigit(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
    }
    // Read like strtod in the "C" locale: the longest prefix that forms a number counts. A
    // leading '+' is strtod's, not from_chars'; it may not be followed by another sign.
    const char* first = number.data();
    const char* last = first + number.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && (*first == '+' || *first == '-')) return std::nullopt;
    }
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::fixed);
    // Out of range covers overflow and numbers so small that they round to zero.
    if (result.ec != std::errc()) return std::nullopt;
    return value;
}

std::optional<double> readNumber(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view unsigned_part = text.substr(negative ? 1 : 0);
    if (unsigned_part.size() >= 2 && unsigned_part[0] == '0' && unsigned_part[1] == 'x') {
        const std::string_view digits = unsigned_part.substr(2);
        for (char c : digits) {
            if (!isHexDigit(c)) return std::nullopt;
        }
        return readHex(digits, negative);
    }
    return readDecimal(text);
}

struct FilterRule {
    std::string_view name;
    FilterType type;
    int parameterCount;
};

// In the order of the lookup. VALUE is no filter name: it ends the string.
constexpr std::array<FilterRule, 18> filterRules = {{
    {"ABS", FilterType::Abs, 0},
    {"SETVALUE", FilterType::SetValue, 1},
    {"ADD", FilterType::Add, 1},
    {"EMALP", FilterType::Emalp, 1},
    {"EMAHP", FilterType::Emahp, 1},
    {"GAIN", FilterType::Gain, 1},
    {"MUL", FilterType::Mul, 1},
    {"ROLLOVER", FilterType::Rollover, 1},
    {"CROP", FilterType::Crop, 2},
    {"LOGISTIC", FilterType::Logistic, 2},
    {"REMAP", FilterType::Remap, 4},
    {"NOISE", FilterType::Noise, 3},
    {"BITSCALE", FilterType::Bitscale, 2},
    {"BITSCALESIGNED", FilterType::BitscaleSigned, 2},
    {"SINUS", FilterType::Sinus, 2},
    {"SPIKE", FilterType::Spike, 4},
    {"EDYNLP", FilterType::Edynlp, 3},
    {"LDYNLP", FilterType::Ldynlp, 3},
}};

const FilterRule* findRule(std::string_view name) {
    for (const auto& rule : filterRules) {
        if (rule.name.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) same = toUpper(name[i]) == rule.name[i];
        if (same) return &rule;
    }
    return nullptr;
}

// The filter's own check on its parameters, made on the doubles as written.
bool parametersAcceptable(const FilterRule& rule, const std::array<double, 4>& p) {
    switch (rule.type) {
    case FilterType::Emalp:
    case FilterType::Emahp:
        return !(p[0] < 1.0);
    case FilterType::Remap:
        return !(std::fabs(p[1] - p[0]) < 1e-9);
    default:
        return true;
    }
}

// The parameters are read as doubles and stored as floats. A magnitude beyond the float range
// becomes an infinity, as IEEE 754 arithmetic (and every platform built for) defines it.
float narrow(double value) { return static_cast<float>(value); }

std::shared_ptr<FilterSys> invalidChain() { return std::shared_ptr<FilterSys>(new FilterSys); }

}  // namespace

bool popTrailingParameter(std::string_view& arguments, double& value) {
    std::size_t separator = arguments.size();
    for (;;) {
        if (separator == 0) return false;
        const char c = arguments[separator - 1];
        if (c == ';') break;
        if (!mayBelongToNumber(c)) return false;
        --separator;
    }
    --separator;
    if (separator + 1 == arguments.size()) return false;
    const auto number = readNumber(trim(arguments.substr(separator + 1)));
    if (!number) return false;
    value = *number;
    arguments = arguments.substr(0, separator);
    return true;
}

std::shared_ptr<FilterSys> parseFilterString(std::string_view text) {
    std::shared_ptr<FilterSys> handle;
    // The first node of the chain built so far: each new node goes in front of it.
    std::shared_ptr<FilterSys> head;
    const auto putInFront = [&](FilterType type, const std::array<double, 4>& p) {
        std::shared_ptr<FilterSys> node = prependFilter(nullptr, type, narrow(p[0]), narrow(p[1]), narrow(p[2]),
                                                        narrow(p[3]));
        if (head) linkInFront(*head, node);
        if (!handle) handle = node;
        head = std::move(node);
    };

    // Trimmed once, here: inner levels are taken as they stand.
    std::string_view rest = trim(text);
    for (;;) {
        if (rest == "VALUE") {
            putInFront(FilterType::Value, {});
            handle->valid.exchange(true);
            return handle;
        }
        const std::size_t open = rest.find('(');
        const std::size_t close = rest.rfind(')');
        if (open == std::string_view::npos || close == std::string_view::npos || close < open) break;

        const FilterRule* rule = findRule(trim(rest.substr(0, open)));
        if (rule == nullptr) break;

        std::string_view arguments = rest.substr(open + 1, close - open - 1);
        std::array<double, 4> parameters{};
        bool complete = true;
        for (int i = rule->parameterCount - 1; i >= 0 && complete; --i) {
            complete = popTrailingParameter(arguments, parameters[static_cast<std::size_t>(i)]);
        }
        if (!complete || !parametersAcceptable(*rule, parameters)) break;
        if (rule->parameterCount == 0) {
            double unexpected = 0.0;
            if (popTrailingParameter(arguments, unexpected)) break;
        }

        putInFront(rule->type, parameters);
        rest = arguments;
    }
    return invalidChain();
}

}  // namespace tarvelin
