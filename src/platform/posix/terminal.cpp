#include "platform/terminal.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>

namespace tarvelin::platform {

namespace {

// A lock-free atomic may be written from a signal handler, and other threads read it safely.
std::atomic<int> stopRequests{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onStopSignal(int) { stopRequests.fetch_add(1); }

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

bool stopRequested() { return stopRequests.load() > 0; }

int stopRequestCount() { return stopRequests.load(); }

struct KeyInput::Saved {
    termios settings;
};

KeyInput::KeyInput() {
    // Only the terminal's foreground program may change its settings; one in the background
    // would be stopped for trying.
    termios settings{};
    if (::isatty(STDIN_FILENO) != 1 || ::tcgetpgrp(STDIN_FILENO) != ::getpgrp() ||
        ::tcgetattr(STDIN_FILENO, &settings) != 0) {
        return;
    }
    saved_ = new Saved{settings};
    // Keys arrive one by one and unechoed; a read returns at once, with or without one. ISIG
    // stays on, so Ctrl-C still raises SIGINT.
    settings.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &settings);
}

KeyInput::~KeyInput() {
    if (saved_ == nullptr) return;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_->settings);
    delete saved_;
}

int KeyInput::next() {
    if (saved_ == nullptr) return 0;
    unsigned char key = 0;
    return ::read(STDIN_FILENO, &key, 1) == 1 ? key : 0;
}

}  // namespace tarvelin::platform
