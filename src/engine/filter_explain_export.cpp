// The export that explains a filter string without installing it, for hosts that let people
// type filter strings: the same reading as setcheckFilterstring, with the reason and place of
// a rejection.

#include <algorithm>
#include <cstring>
#include <string_view>

#include "filters/filter_parser.h"
#include "tarvelin/motion.h"

extern "C" {

int explainFilterstring(const char* filter, int* fault, int* position, char* message, int messageSize) {
    // A null pointer is read as an empty string, as setcheckFilterstring reads it.
    const std::string_view text = filter != nullptr ? std::string_view(filter) : std::string_view();
    const tarvelin::FilterDiagnosis diagnosis = tarvelin::explainFilterString(text);
    const bool remark = diagnosis.fault != tarvelin::FilterFault::none;
    if (fault != nullptr) *fault = static_cast<int>(diagnosis.fault);
    if (position != nullptr) *position = remark ? static_cast<int>(diagnosis.position) : -1;
    if (message != nullptr && messageSize > 0) {
        const std::size_t length = std::min(diagnosis.message.size(), static_cast<std::size_t>(messageSize) - 1);
        std::memcpy(message, diagnosis.message.data(), length);
        message[length] = '\0';
    }
    return diagnosis.accepted ? 1 : 0;
}

}  // extern "C"
