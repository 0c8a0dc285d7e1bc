#pragma once
// The calling thread's last system error: what each platform must provide.
// Windows: GetLastError/SetLastError and FormatMessageW. POSIX: errno and strerror_r.

#include <cstdint>
#include <string>

namespace tarvelin::platform {

std::uint32_t lastSystemError();
void setLastSystemError(std::uint32_t code);

// The system's text for `code` (FormatMessageW from the system table in the system's default
// language, inserts ignored). False, with `text` emptied, when the system has none.
bool describeSystemError(std::uint32_t code, std::wstring& text);

}  // namespace tarvelin::platform
