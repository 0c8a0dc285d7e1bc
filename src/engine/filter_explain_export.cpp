// The export that explains a filter string without installing it, for hosts that let people
// type filter strings: the same reading as setcheckFilterstring, with the reason and place of
// a rejection.

#include <algorithm>
#include <cstring>

#include "filters/filter_parser.h"
#include "tarvelin/motion.h"

// The header promises hosts the parser's own limits and fault numbers.
static_assert(TARVELIN_FILTER_STRING_MAX == tarvelin::filterStringLengthLimit);
static_assert(TARVELIN_CHAIN_FILTERS_MAX == tarvelin::chainFilterLimit);
static_assert(TARVELIN_FILTER_TOO_LONG == static_cast<int>(tarvelin::FilterFault::tooLong));
static_assert(TARVELIN_FILTER_TOO_MANY_FILTERS == static_cast<int>(tarvelin::FilterFault::tooManyFilters));

extern "C" {

int explainFilterstring(const char* filter, int* fault, int* position, char* message, int messageSize) {
    // The same text as setcheckFilterstring reads (null is empty, a string beyond the length
    // limit is looked at no further).
    const tarvelin::FilterDiagnosis diagnosis = tarvelin::explainFilterString(tarvelin::filterTextOf(filter));
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
