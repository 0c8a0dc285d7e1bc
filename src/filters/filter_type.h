#pragma once
// The kinds of filter a chain node can apply. The numbers are part of the node record and of
// the filter language's table, so they never change; a node may carry any other number, which
// then names no filter and passes its input through.

#include <cstdint>
#include <string_view>

namespace tarvelin {

enum class FilterType : std::int32_t {
    Value = 0,
    Emalp = 1,
    Emahp = 2,
    Mul = 3,
    Gain = 4,
    Logistic = 5,
    Crop = 6,
    Rollover = 7,
    Remap = 8,
    Noise = 9,
    Bitscale = 10,
    BitscaleSigned = 11,
    Sinus = 12,
    Abs = 13,
    SetValue = 14,
    Add = 15,
    Spike = 16,
    Edynlp = 17,
    Ldynlp = 18,
};

// The canonical upper-case name of a kind ("VALUE" .. "LDYNLP"), "UNKNOWN" for any other
// number. The text is static.
std::string_view filterTypeName(FilterType type);

}  // namespace tarvelin
