#pragma once
// Enumeration of the running processes by executable name: what each platform must provide.
//
// Windows reports the executable file name of every process (a tool-help snapshot). POSIX
// reports the base name of argv[0] as the process started it, split at both '/' and '\', so
// that Windows games running under Wine or Proton appear under their ".exe" name.
// The comparison itself (exact, case-sensitive) is the caller's.

#include <string_view>

namespace tarvelin::platform {

// Called once per process; return false to stop the walk.
using ProcessVisitor = bool (*)(std::wstring_view executableName, void* context);

// Walks all processes. Returns false when the list could not be taken at all.
bool forEachProcess(ProcessVisitor visit, void* context);

}  // namespace tarvelin::platform
