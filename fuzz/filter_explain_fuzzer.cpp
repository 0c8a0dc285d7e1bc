// The explaining export must accept exactly the filter strings that setcheckFilterstring
// installs, since hosts check a string with it before they apply it; and its answer must be
// usable as it stands: a known reason, a place inside the string, a message that fits the
// documented buffer.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tarvelin/motion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Both exports take zero-terminated strings: the input counts up to its first zero byte.
    const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));

    int fault = -1;
    int position = -2;
    char message[161];
    std::memset(message, 'x', sizeof message);
    const int explained = explainFilterstring(text.c_str(), &fault, &position, message, 160);
    const int installed = setcheckFilterstring(0, 0, text.c_str());
    if (explained != installed) std::abort();

    const std::size_t length = strnlen(message, sizeof message);
    if (length >= 160) std::abort();
    if (fault < TARVELIN_FILTER_FINE || fault > TARVELIN_FILTER_TOO_MANY_FILTERS) std::abort();
    const bool remark = fault != TARVELIN_FILTER_FINE;
    if (explained == 1 && fault != TARVELIN_FILTER_FINE && fault != TARVELIN_FILTER_IGNORED_TEXT) std::abort();
    if (explained == 0 && (!remark || fault == TARVELIN_FILTER_IGNORED_TEXT)) std::abort();
    if (remark != (length > 0)) std::abort();
    if (remark ? (position < 0 || static_cast<std::size_t>(position) > text.size()) : position != -1) std::abort();
    return 0;
}
