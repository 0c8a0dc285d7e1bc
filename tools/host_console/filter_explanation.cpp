#include "host_console/filter_explanation.h"

namespace tarvelin::console {

FilterExplanation explainFilter(const EngineApi& api, const std::string& filter) {
    // The export documents that every message fits this buffer.
    char message[160] = {};
    FilterExplanation explanation;
    explanation.accepted =
        api.explainFilterstring(filter.c_str(), &explanation.fault, &explanation.position, message, sizeof message) == 1;
    explanation.message = message;
    return explanation;
}

}  // namespace tarvelin::console
