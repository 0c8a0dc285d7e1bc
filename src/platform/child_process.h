#pragma once
// Starting another program and ending it again: what each platform must provide. Windows:
// CreateProcessW and TerminateProcess; POSIX: posix_spawn, SIGKILL and waitpid.
//
// For tests and tools that stand up a process under a given executable name (a game's, say);
// the engine itself never starts one, so this lives in tarvelin_platform_loader, not in the
// library. One owner at a time: the calls are not meant to race each other.

#include <cstdint>
#include <filesystem>

namespace tarvelin::platform {

class ChildProcess {
public:
    ChildProcess() = default;
    // Ends a process that still runs, as terminate() does.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program file `program` with no arguments; its argv[0] is the path, so a POSIX
    // process list shows it under the file's name as Windows does. No console window opens on
    // Windows. A process this object started before is ended first. False when the program
    // could not be started.
    bool start(const std::filesystem::path& program);

    // True from a successful start until the process has ended, by itself or by terminate().
    // Asking does not reap an ended POSIX child; terminate() does.
    bool running() const;

    // Ends the process at once and waits until the system has removed it (on Windows for ten
    // seconds at most), so that no process list shows it any more. Nothing happens when none
    // was started.
    void terminate();

private:
    std::intptr_t process_ = 0;  // the pid on POSIX, the process handle on Windows; 0 for none
};

}  // namespace tarvelin::platform
