#include "platform/terminal.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace tarvelin::platform {

namespace {

// A lock-free atomic may be written from a signal handler, and other threads read it safely.
std::atomic<bool> stopFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onStopSignal(int) { stopFlag.store(true); }

}  // namespace

bool standardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool enableTerminalSequences() { return standardOutputIsTerminal(); }

void catchStopRequests() {
    struct sigaction action {};
    action.sa_handler = &onStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking wait of the main thread should come back early and see the flag.
    action.sa_flags = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

bool stopRequested() { return stopFlag.load(); }

}  // namespace tarvelin::platform
