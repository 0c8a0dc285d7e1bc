#include "filters/filter_type.h"

#include <array>

namespace tarvelin {

std::string_view filterTypeName(FilterType type) {
    static constexpr std::array<std::string_view, 19> names = {
        "VALUE",    "EMALP", "EMAHP", "MUL",      "GAIN",           "LOGISTIC", "CROP",
        "ROLLOVER", "REMAP", "NOISE", "BITSCALE", "BITSCALESIGNED", "SINUS",    "ABS",
        "SETVALUE", "ADD",   "SPIKE", "EDYNLP",   "LDYNLP"};
    const auto index = static_cast<std::uint32_t>(type);
    return index < names.size() ? names[index] : std::string_view("UNKNOWN");
}

}  // namespace tarvelin
