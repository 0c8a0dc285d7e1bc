#include "platform/terminal.h"

#include <windows.h>

#include <atomic>

namespace tarvelin::platform {

namespace {

std::atomic<bool> stopFlag{false};

// Runs on a thread the system creates for the event. Returning TRUE keeps the default handler
// (which ends the process at once) from running; for a closing window the system still ends
// the process once the handler returns, so it waits a moment for the tool to stop in order.
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            stopFlag.store(true);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            stopFlag.store(true);
            Sleep(2000);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool standardOutputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool enableTerminalSequences() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(output, &mode) == 0) return false;
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
    return SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void catchStopRequests() { SetConsoleCtrlHandler(&onConsoleEvent, TRUE); }

bool stopRequested() { return stopFlag.load(); }

}  // namespace tarvelin::platform
