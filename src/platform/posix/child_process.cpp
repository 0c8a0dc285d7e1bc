#include "platform/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>

extern char** environ;

namespace tarvelin::platform {

namespace {

pid_t pid(std::intptr_t process) { return static_cast<pid_t>(process); }

}  // namespace

ChildProcess::~ChildProcess() { terminate(); }

bool ChildProcess::start(const std::filesystem::path& program) {
    terminate();
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    process_ = child;
    return true;
}

bool ChildProcess::running() const {
    if (process_ == 0) return false;
    // WNOWAIT leaves an ended child a zombie, for terminate() to reap; si_pid stays 0 while the
    // child still runs (it is cleared first, as POSIX leaves it unset in that case).
    siginfo_t state{};
    state.si_pid = 0;
    if (waitid(P_PID, static_cast<id_t>(process_), &state, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
    return state.si_pid == 0;
}

void ChildProcess::terminate() {
    if (process_ == 0) return;
    // Killing a child that has already ended is harmless: it stays a zombie until reaped here.
    kill(pid(process_), SIGKILL);
    while (waitpid(pid(process_), nullptr, 0) < 0 && errno == EINTR) {
    }
    process_ = 0;
}

}  // namespace tarvelin::platform
