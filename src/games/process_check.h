#pragma once
// Whether a game's executable runs: the detection scan's process test.

#include <string_view>

namespace tarvelin {

// True when a process with exactly this executable file name runs (case-sensitive, whole
// name). Each call takes a fresh look at the process list; a list that cannot be taken counts
// as "not running".
bool isProcessRunning(std::wstring_view executableName);

}  // namespace tarvelin
