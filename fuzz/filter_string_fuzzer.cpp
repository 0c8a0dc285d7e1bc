// Filter strings come from hosts and their users, typed by hand. Any byte string must parse
// and evaluate without crash, hang or leak; a rejected string must evaluate to 0.0, an
// accepted one must start at VALUE, and a failed parameter pop must leave its text alone.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "filters/filter_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto chain = tarvelin::parseFilterString(text);
    const bool valid = chain->valid.load();
    if (valid && chain->findHead()->type != tarvelin::FilterType::Value) std::abort();

    static constexpr double inputs[] = {0.0, 1.0, -1.0, 0.37, 250.0, -1e6, 1e12, 5e-324};
    for (double x : inputs) {
        const double y = tarvelin::evaluate(chain, x, 1.0, 1.0, 1.0);
        if (!valid && y != 0.0) std::abort();
    }

    std::string_view arguments = text;
    double value = 0.0;
    if (tarvelin::popTrailingParameter(arguments, value)) {
        if (arguments.size() >= text.size()) std::abort();
    } else if (arguments != text) {
        std::abort();
    }
    return 0;
}
