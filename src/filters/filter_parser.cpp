#include "filters/filter_parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

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
    std::string_view writtenForm;  // for messages: how the filter is written
};

// In the order of the lookup. VALUE is no filter name: it ends the string.
constexpr std::array<FilterRule, 18> filterRules = {{
    {"ABS", FilterType::Abs, 0, "ABS(inner)"},
    {"SETVALUE", FilterType::SetValue, 1, "SETVALUE(inner;value)"},
    {"ADD", FilterType::Add, 1, "ADD(inner;offset)"},
    {"EMALP", FilterType::Emalp, 1, "EMALP(inner;cycles)"},
    {"EMAHP", FilterType::Emahp, 1, "EMAHP(inner;cycles)"},
    {"GAIN", FilterType::Gain, 1, "GAIN(inner;factor)"},
    {"MUL", FilterType::Mul, 1, "MUL(inner;factor)"},
    {"ROLLOVER", FilterType::Rollover, 1, "ROLLOVER(inner;limit)"},
    {"CROP", FilterType::Crop, 2, "CROP(inner;low;high)"},
    {"LOGISTIC", FilterType::Logistic, 2, "LOGISTIC(inner;limit;gain)"},
    {"REMAP", FilterType::Remap, 4, "REMAP(inner;inLow;inHigh;outLow;outHigh)"},
    {"NOISE", FilterType::Noise, 3, "NOISE(inner;amplitude;period;seed)"},
    {"BITSCALE", FilterType::Bitscale, 2, "BITSCALE(inner;inMax;outMax)"},
    {"BITSCALESIGNED", FilterType::BitscaleSigned, 2, "BITSCALESIGNED(inner;inMax;outMax)"},
    {"SINUS", FilterType::Sinus, 2, "SINUS(inner;amplitude;hertz)"},
    {"SPIKE", FilterType::Spike, 4, "SPIKE(inner;threshold;factor;exponent;unused)"},
    {"EDYNLP", FilterType::Edynlp, 3, "EDYNLP(inner;threshold;factor;unused)"},
    {"LDYNLP", FilterType::Ldynlp, 3, "LDYNLP(inner;threshold;factor;unused)"},
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

// The parameter the filter's own check refuses, or -1 when it takes them. The checks are made
// on the doubles as written.
int refusedParameter(const FilterRule& rule, const std::array<double, 4>& p) {
    switch (rule.type) {
    case FilterType::Emalp:
    case FilterType::Emahp:
        return p[0] < 1.0 ? 0 : -1;
    case FilterType::Remap:
        return std::fabs(p[1] - p[0]) < 1e-9 ? 1 : -1;
    default:
        return -1;
    }
}

// The parameters are read as doubles and stored as floats. A magnitude beyond the float range
// becomes an infinity, as IEEE 754 arithmetic (and every platform built for) defines it.
float narrow(double value) { return static_cast<float>(value); }

std::shared_ptr<FilterSys> invalidChain() { return std::shared_ptr<FilterSys>(new FilterSys); }

// Where the reading of a string stopped, in the terms of the step that stopped it. The
// explanation is worked out from this afterwards, so that the reading itself stays as lean as
// the engine needs it.
enum class Stop {
    none,             // the whole string was understood
    noFilter,         // a level is neither VALUE nor NAME(...)
    unknownName,      // NAME(...) with a name not in the table
    parameterMissing, // a parameter could not be taken off the argument text
    parameterRefused, // the filter's check refused a parameter
    parameterTooMany, // ABS with a parameter
    tooLong,          // the whole string is beyond the length limit
    tooManyFilters,   // the level is one filter more than a chain may hold
};

struct StopPoint {
    Stop stop = Stop::none;
    std::string_view level;      // the text of the level that stopped
    std::string_view arguments;  // its argument text as far as it was taken
    const FilterRule* rule = nullptr;
    const FilterRule* enclosing = nullptr;  // the filter whose inner string the level is
    int parameter = -1;                     // the refused one
    std::array<std::string_view, 4> parameterTexts{};
    // The first text after a closing parenthesis that the reading ignored.
    std::string_view ignored;
    const FilterRule* ignoredAfter = nullptr;
};

// The one reading of the filter language. `onFilter(type, parameters)` is called for every
// filter from the outermost inwards and last for VALUE; the result tells whether the whole
// string was understood, and `where` where it stopped. Inner levels are views into `text`.
template <typename OnFilter>
bool readFilterString(std::string_view text, OnFilter&& onFilter, StopPoint& where) {
    if (text.size() > filterStringLengthLimit) {
        where.stop = Stop::tooLong;
        return false;
    }
    // Trimmed once, here: inner levels are taken as they stand.
    std::string_view rest = trim(text);
    const FilterRule* enclosing = nullptr;
    for (int filters = 0;; ++filters) {
        where.level = rest;
        where.enclosing = enclosing;
        if (rest == "VALUE") {
            onFilter(FilterType::Value, std::array<double, 4>{});
            return true;
        }
        const std::size_t open = rest.find('(');
        const std::size_t close = rest.rfind(')');
        if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
            where.stop = Stop::noFilter;
            return false;
        }
        const FilterRule* rule = findRule(trim(rest.substr(0, open)));
        where.rule = rule;
        if (rule == nullptr) {
            where.stop = Stop::unknownName;
            return false;
        }
        if (filters == chainFilterLimit) {
            where.stop = Stop::tooManyFilters;
            return false;
        }
        if (where.ignored.empty()) {
            where.ignored = trim(rest.substr(close + 1));
            where.ignoredAfter = rule;
        }

        std::string_view arguments = rest.substr(open + 1, close - open - 1);
        std::array<double, 4> parameters{};
        where.parameterTexts = {};
        for (int i = rule->parameterCount - 1; i >= 0; --i) {
            const std::size_t before = arguments.size();
            where.arguments = arguments;
            if (!popTrailingParameter(arguments, parameters[static_cast<std::size_t>(i)])) {
                where.stop = Stop::parameterMissing;
                return false;
            }
            // The text the pop took, between the ';' it cut at and the end of what was there.
            where.parameterTexts[static_cast<std::size_t>(i)] =
                trim(std::string_view(arguments.data() + arguments.size() + 1, before - arguments.size() - 1));
        }
        where.arguments = arguments;
        if (const int refused = refusedParameter(*rule, parameters); refused >= 0) {
            where.stop = Stop::parameterRefused;
            where.parameter = refused;
            return false;
        }
        if (rule->parameterCount == 0) {
            double unexpected = 0.0;
            std::string_view probe = arguments;
            if (popTrailingParameter(probe, unexpected)) {
                where.stop = Stop::parameterTooMany;
                return false;
            }
        }

        onFilter(rule->type, parameters);
        enclosing = rule;
        rest = arguments;
    }
}

// --- Explanations ----------------------------------------------------------------------------

std::string quoted(std::string_view text) {
    constexpr std::size_t longest = 24;
    std::string out = "'";
    out.append(text.substr(0, longest));
    if (text.size() > longest) out += "...";
    out += "'";
    return out;
}

std::string parameterWord(int count) {
    return count == 0 ? "no parameters" : count == 1 ? "1 parameter" : std::to_string(count) + " parameters";
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (toUpper(a[i - 1]) == b[j - 1] ? 0u : 1u)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// " (did you mean GAIN?)" for a name one or two typing mistakes away from a filter's.
std::string suggestion(std::string_view name) {
    const FilterRule* best = nullptr;
    std::size_t bestDistance = 3;
    for (const auto& rule : filterRules) {
        const std::size_t distance = editDistance(name, rule.name);
        if (distance < bestDistance) {
            best = &rule;
            bestDistance = distance;
        }
    }
    return best == nullptr ? std::string() : " (did you mean " + std::string(best->name) + "?)";
}

// The first parenthesis without a partner: a ')' with no '(' before it, or the outermost '('
// that is never closed. npos when they pair up.
std::size_t unpairedParenthesis(std::string_view text) {
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '(') {
            open.push_back(i);
        } else if (text[i] == ')') {
            if (open.empty()) return i;
            open.pop_back();
        }
    }
    return open.empty() ? std::string_view::npos : open.front();
}

class Explainer {
public:
    explicit Explainer(std::string_view text) : text_(text) {}

    FilterDiagnosis rejected(const StopPoint& where) {
        switch (where.stop) {
        case Stop::noFilter:
            noFilter(where);
            break;
        case Stop::unknownName:
            unknownName(where);
            break;
        case Stop::parameterMissing:
            parameterMissing(where);
            break;
        case Stop::parameterRefused:
            parameterRefused(where);
            break;
        case Stop::parameterTooMany:
            say(FilterFault::parameterCount, where.arguments.data() + where.arguments.rfind(';'),
                std::string(where.rule->name) + " takes no parameters: " + std::string(where.rule->writtenForm));
            break;
        case Stop::tooLong:
            say(FilterFault::tooLong, text_.data() + filterStringLengthLimit,
                "longer than " + std::to_string(filterStringLengthLimit) +
                    " bytes, the most the engine reads: real chains are some 50 bytes long");
            break;
        case Stop::tooManyFilters:
            say(FilterFault::tooManyFilters, trim(where.level).data(),
                "more than " + std::to_string(chainFilterLimit) + " filters in one chain, the most the engine runs");
            break;
        case Stop::none:
            break;
        }
        // Parentheses that do not pair up are the likelier mistake whenever the reading
        // stumbled over the structure rather than over a name or a value.
        const bool structural = where.stop == Stop::noFilter || where.stop == Stop::parameterMissing ||
                                where.stop == Stop::parameterTooMany;
        const std::string_view whole = trim(text_);
        if (structural && !whole.empty()) {
            if (const std::size_t at = unpairedParenthesis(whole); at != std::string_view::npos) {
                say(FilterFault::parentheses, whole.data() + at,
                    whole[at] == ')' ? "this ')' closes no '('"
                                     : "this '(' is never closed: a ')' is missing");
            }
        }
        result_.accepted = false;
        return std::move(result_);
    }

    FilterDiagnosis accepted(const StopPoint& where) {
        result_.accepted = true;
        if (!where.ignored.empty()) {
            say(FilterFault::ignoredText, where.ignored.data(),
                "accepted, but " + quoted(where.ignored) + " after " + std::string(where.ignoredAfter->name) +
                    "'s closing parenthesis is ignored");
        }
        return std::move(result_);
    }

private:
    void say(FilterFault fault, const char* at, std::string message) {
        result_.fault = fault;
        result_.position = static_cast<std::size_t>(at - text_.data());
        result_.message = std::move(message);
    }

    void noFilter(const StopPoint& where) {
        const std::string_view level = where.level;
        const std::string_view word = trim(level);
        const char* end = level.data() + level.size();
        if (word.empty()) {
            if (where.enclosing == nullptr) {
                say(FilterFault::empty, text_.data(), "the filter string is empty: write VALUE, or a filter such as GAIN(VALUE;2)");
            } else {
                say(FilterFault::empty, end,
                    std::string(where.enclosing->name) + " has no inner string: write VALUE or a filter before its parameters");
            }
        } else if (level.find('(') != std::string_view::npos || level.find(')') != std::string_view::npos) {
            const std::size_t close = level.rfind(')');
            const std::size_t open = level.find('(');
            if (open == std::string_view::npos) {
                say(FilterFault::parentheses, level.data() + close, "this ')' closes no '('");
            } else if (close == std::string_view::npos) {
                say(FilterFault::parentheses, level.data() + open, "this '(' is never closed: a ')' is missing");
            } else {
                say(FilterFault::parentheses, level.data() + close, "this ')' comes before the first '('");
            }
        } else if (level.substr(0, 5) == "VALUE" && level.size() > 5) {
            const char* after = level.data() + 5;
            if (level[5] == ';' && where.enclosing != nullptr) {
                say(FilterFault::parameterCount, after,
                    "too many parameters: " + std::string(where.enclosing->name) + " takes " +
                        parameterWord(where.enclosing->parameterCount) + ", " + std::string(where.enclosing->writtenForm));
            } else {
                say(FilterFault::unexpectedText, after, "unexpected text after VALUE: " + quoted(level.substr(5)));
            }
        } else if (word == "VALUE") {
            say(FilterFault::unexpectedText, isSpace(level.front()) ? level.data() : word.data() + word.size(),
                "no white space may stand around VALUE inside a filter");
        } else if (isValueInAnyCase(word)) {
            say(FilterFault::unknownName, word.data(), quoted(word) + " is no name: the input is written VALUE, in capitals");
        } else if (const FilterRule* rule = findRule(word); rule != nullptr) {
            say(FilterFault::parentheses, word.data() + word.size(),
                std::string(rule->name) + " needs parentheses: " + std::string(rule->writtenForm));
        } else {
            say(FilterFault::unknownName, word.data(),
                quoted(word) + " is neither VALUE nor a filter" + suggestion(word));
        }
    }

    void unknownName(const StopPoint& where) {
        const std::string_view level = where.level;
        const std::size_t open = level.find('(');
        const std::string_view name = trim(level.substr(0, open));
        if (name.empty()) {
            say(FilterFault::unknownName, level.data() + open, "a filter name is missing before this '('");
        } else if (isValueInAnyCase(name)) {
            say(FilterFault::unknownName, name.data(), "VALUE takes no parentheses: it stands alone for the slot's input");
        } else {
            say(FilterFault::unknownName, name.data(), "unknown filter name " + quoted(name) + suggestion(name));
        }
    }

    void parameterMissing(const StopPoint& where) {
        const std::string_view arguments = where.arguments;
        const std::size_t separator = arguments.rfind(';');
        const std::size_t innerClose = arguments.rfind(')');
        const FilterRule& rule = *where.rule;
        if (separator == std::string_view::npos || (innerClose != std::string_view::npos && innerClose > separator)) {
            // Nothing after the inner string that could be a parameter: too few were written.
            say(FilterFault::parameterCount, arguments.data() + arguments.size(),
                std::string(rule.name) + " takes " + parameterWord(rule.parameterCount) + ": " +
                    std::string(rule.writtenForm));
            return;
        }
        const std::string_view number = trim(arguments.substr(separator + 1));
        if (number.empty()) {
            say(FilterFault::notANumber, arguments.data() + separator + 1, "a number is missing after this ';'");
        } else {
            say(FilterFault::notANumber, number.data(),
                quoted(number) + " is not a number: write numbers like 2, -0.5, 0,5 or 0x1F (no exponents)");
        }
    }

    void parameterRefused(const StopPoint& where) {
        const auto index = static_cast<std::size_t>(where.parameter);
        const std::string_view number = where.parameterTexts[index];
        if (where.rule->type == FilterType::Remap) {
            say(FilterFault::parameterRange, number.data(), "REMAP's inLow and inHigh must differ");
        } else {
            say(FilterFault::parameterRange, number.data(),
                std::string(where.rule->name) + "'s period is counted in cycles and must be 1 or more");
        }
    }

    static bool isValueInAnyCase(std::string_view word) {
        if (word.size() != 5) return false;
        for (std::size_t i = 0; i < 5; ++i) {
            if (toUpper(word[i]) != "VALUE"[i]) return false;
        }
        return true;
    }

    std::string_view text_;
    FilterDiagnosis result_;
};

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

std::string_view filterTextOf(const char* text) {
    if (text == nullptr) return {};
    std::size_t length = 0;
    while (length <= filterStringLengthLimit && text[length] != '\0') ++length;
    return {text, length};
}

std::shared_ptr<FilterSys> parseFilterString(std::string_view text) {
    // The filters as read, outermost first; the chain is built only once the whole string has
    // been understood, so that a rejected one costs no node of its own. The reading never
    // passes on more than chainFilterLimit filters and VALUE.
    struct ReadFilter {
        FilterType type;
        std::array<double, 4> parameters;
    };
    std::array<ReadFilter, chainFilterLimit + 1> filters;
    std::size_t count = 0;
    StopPoint where;
    const bool understood = readFilterString(
        text, [&](FilterType type, const std::array<double, 4>& p) { filters[count++] = {type, p}; }, where);
    if (!understood) return invalidChain();

    std::shared_ptr<FilterSys> handle;
    // The first node of the chain built so far: each new node goes in front of it.
    std::shared_ptr<FilterSys> head;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& p = filters[i].parameters;
        std::shared_ptr<FilterSys> node =
            prependFilter(nullptr, filters[i].type, narrow(p[0]), narrow(p[1]), narrow(p[2]), narrow(p[3]));
        if (head) linkInFront(*head, node);
        if (!handle) handle = node;
        head = std::move(node);
    }
    handle->valid.exchange(true);
    return handle;
}

FilterDiagnosis explainFilterString(std::string_view text) {
    StopPoint where;
    Explainer explainer(text);
    if (readFilterString(text, [](FilterType, const std::array<double, 4>&) {}, where)) return explainer.accepted(where);
    return explainer.rejected(where);
}

}  // namespace tarvelin
