#pragma once
// The short diagnostic lines of the rig link, written to the process's standard output.
//
// Every line is plain ASCII, so it is written through the narrow stream on every platform: on
// POSIX a wide write would fix stdout's orientation and silence the host's own printf output.
// A line is flushed at once, so that it appears in order with the host's output.

#include <string_view>

namespace tarvelin::serial {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void consolePrint(const char* format, ...);

// Receives every line as it is printed, on the printing thread; null to stop. For tests.
using ConsoleObserver = void (*)(std::string_view text);
void setConsoleObserver(ConsoleObserver observer);

}  // namespace tarvelin::serial
