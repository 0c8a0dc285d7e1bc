#pragma once
// The console a host tool runs in: what each platform must provide. Windows: the console API
// (GetConsoleMode, SetConsoleMode, SetConsoleCtrlHandler). POSIX: isatty and signals.
//
// For the host tools only; the engine itself never touches the terminal.

namespace tarvelin::platform {

// Whether standard output is an interactive terminal (not a file or a pipe).
bool standardOutputIsTerminal();

// Makes standard output take ANSI cursor and erase sequences (a Windows console needs them
// switched on; POSIX terminals always take them). False when it cannot.
bool enableTerminalSequences();

// From now on Ctrl-C, and the system's requests to end the program (SIGTERM and SIGHUP; a
// closing console window), only raise a flag instead of ending the process, so that the tool
// can stop its work in order. Call once, from the main thread, before starting other threads.
void catchStopRequests();

// Whether a stop was requested since catchStopRequests. Any thread.
bool stopRequested();

}  // namespace tarvelin::platform
