#include "host_console/csv_format.h"

#include <charconv>
#include <cmath>

#include "host_console/profile_file.h"

namespace tarvelin::console {

namespace {

constexpr int beltSumChannel = 42;

void appendNumber(std::string& out, double value) {
    char buffer[32];
    // A value that is not finite is written as such; spreadsheet tools read "nan" and "inf".
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error == std::errc()) out.append(buffer, end);
}

}  // namespace

std::string csvHeader(const char* const* names, int nameCount) {
    std::string header = "cycle";
    for (int slot = 0; slot < TARVELIN_RIG_SLOTS; ++slot) {
        header += ',';
        header += slotName(slot);
    }
    for (int channel = 1; channel < TARVELIN_CHANNELS; ++channel) {
        header += ',';
        const char* name = channel - 1 < nameCount && names != nullptr ? names[channel - 1] : nullptr;
        if (name != nullptr) header += name;
        else if (channel == beltSumChannel) header += "belt_sum";
        else header += "channel_" + std::to_string(channel);
    }
    header += '\n';
    return header;
}

void appendCsvRow(std::string& out, std::uint64_t cycle, const CalculationSnapshot& calculation,
                  const AccelerationSnapshot& telemetry) {
    out += std::to_string(cycle);
    for (const double value : calculation.values) {
        out += ',';
        appendNumber(out, value);
    }
    for (int channel = 1; channel < TARVELIN_CHANNELS; ++channel) {
        out += ',';
        appendNumber(out, telemetry.channels[channel]);
    }
    out += '\n';
}

}  // namespace tarvelin::console
