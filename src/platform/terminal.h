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

// How many stop requests came since catchStopRequests (a second Ctrl-C asks for more haste than
// the first). Any thread.
int stopRequestCount();

// Single key presses from the terminal the tool runs in, without echo and without waiting for
// Enter, for as long as the object lives; Ctrl-C still raises a stop request. Without a
// terminal on standard input (a pipe, a file, a program in the background) no key ever comes.
class KeyInput {
public:
    KeyInput();
    ~KeyInput();
    KeyInput(const KeyInput&) = delete;
    KeyInput& operator=(const KeyInput&) = delete;

    // The next key pressed, or 0 when none is waiting; never blocks. Space is ' ' and Esc 27,
    // which is also the first byte of the keys that send a sequence (the arrows, say).
    int next();

private:
    struct Saved;  // the terminal's settings to restore, defined by each backend
    Saved* saved_ = nullptr;
};

}  // namespace tarvelin::platform
