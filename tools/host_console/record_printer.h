#pragma once
// Prints what the engine exposes through its exports: channel names with their values, the
// four cue arrays, the time frames and the profile status.

#include <cstdio>

#include "host_console/engine_api.h"

namespace tarvelin::console {

void printRecord(const EngineApi& api, std::FILE* out);

}  // namespace tarvelin::console
