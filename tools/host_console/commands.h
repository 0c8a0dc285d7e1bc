#pragma once
// The console's commands. Each returns the process's exit status: 0 success, 1 failure (with the
// reason printed to the error stream), 2 a usage error.

#include <cstdio>
#include <string>
#include <vector>

#include "host_console/command_line.h"
#include "host_console/library_capture.h"
#include "host_console/session.h"

namespace tarvelin::console {

// Where a command writes, and whether the library's own lines are captured.
struct ConsoleStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool terminal = false;               // `out` is a terminal that takes cursor sequences
    LibraryCapture* library = nullptr;   // none: the library prints where it always did
};

int demoCommand(const CommandLine& line, const ConsoleStreams& streams);
int runCommand(const CommandLine& line, const ConsoleStreams& streams);
int checkCommand(const CommandLine& line, const ConsoleStreams& streams);
int printCommand(const CommandLine& line, const ConsoleStreams& streams);

// Why a demo session shows the road of the frame broken: no game found, no link, no frame at
// the rig, frames with a bad check field, or too many lost on the way. Empty when it is whole.
std::vector<std::string> roadProblems(const SessionResult& result);

// Why a run did not drive the rig: no game found or the link never connected during the whole
// run, each with what to do about it. Empty when both happened.
std::vector<std::string> runProblems(const SessionOptions& options, const SessionResult& result);

}  // namespace tarvelin::console
