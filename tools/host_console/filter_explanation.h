#pragma once
// Why the engine rejects a filter string, as its explaining export says: the console prints it
// with the place in the profile file, and the tuning page shows it while a string is typed.

#include <string>

#include "host_console/engine_api.h"

namespace tarvelin::console {

struct FilterExplanation {
    bool accepted = false;  // setcheckFilterstring would install the string
    int fault = TARVELIN_FILTER_FINE;
    int position = -1;      // byte offset into the string, -1 when there is nothing to remark
    std::string message;    // empty when there is nothing to remark
};

FilterExplanation explainFilter(const EngineApi& api, const std::string& filter);

}  // namespace tarvelin::console
