#pragma once
// The console's commands. Each returns the process's exit status: 0 success, 1 failure (with the
// reason printed to `err`), 2 a usage error.

#include <cstdio>
#include <string>
#include <vector>

#include "host_console/command_line.h"
#include "host_console/session.h"

namespace tarvelin::console {

int demoCommand(const CommandLine& line, std::FILE* out, std::FILE* err);
int runCommand(const CommandLine& line, std::FILE* out, std::FILE* err);
int checkCommand(const CommandLine& line, std::FILE* out, std::FILE* err);
int printCommand(const CommandLine& line, std::FILE* out, std::FILE* err);

// Why a demo session shows the road of the frame broken: no game found, no link, no frame at
// the rig, frames with a bad check field, or too many lost on the way. Empty when it is whole.
std::vector<std::string> roadProblems(const SessionResult& result);

}  // namespace tarvelin::console
