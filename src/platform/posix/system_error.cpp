#include "platform/system_error.h"

#include <cerrno>
#include <system_error>

#include "platform/posix/object_name.h"

namespace tarvelin::platform {

std::uint32_t lastSystemError() {
    return static_cast<std::uint32_t>(errno);
}

void setLastSystemError(std::uint32_t code) {
    errno = static_cast<int>(code);
}

bool describeSystemError(std::uint32_t code, std::wstring& text) {
    // The standard library's system category wraps the thread-safe strerror_r; like
    // FormatMessageW it has no text for an unknown number, only a placeholder.
    const std::string message = std::system_category().message(static_cast<int>(code));
    if (code == 0 || message.starts_with("Unknown error")) {
        text.clear();
        return false;
    }
    text = fromUtf8(message);
    return true;
}

}  // namespace tarvelin::platform
