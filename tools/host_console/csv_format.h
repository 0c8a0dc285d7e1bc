#pragma once
// The session record's CSV form: one row per engine cycle, the 23 rig-slot values of the
// cycle's calculation snapshot, then its telemetry channels 1..42.

#include <cstdint>
#include <string>

#include "tarvelin/motion.h"

namespace tarvelin::console {

// The header row (with its line end): "cycle", the slot names, the channel names. `names` is
// the engine's table of channel names (getGameDataNames: entry i-1 names channel i; a null
// entry gets a name of its own).
std::string csvHeader(const char* const* names, int nameCount);

// Appends one row (with its line end). Numbers are written in their shortest form that reads
// back as the same double, so that a plot or a comparison sees exactly what the engine had.
void appendCsvRow(std::string& out, std::uint64_t cycle, const CalculationSnapshot& calculation,
                  const AccelerationSnapshot& telemetry);

}  // namespace tarvelin::console
