#include "platform/terminal.h"

#include <windows.h>

#include <atomic>

namespace tarvelin::platform {

namespace {

std::atomic<int> stopRequests{0};

// Runs on a thread the system creates for the event. Returning TRUE keeps the default handler
// (which ends the process at once) from running; for a closing window the system still ends
// the process once the handler returns, so it waits a moment for the tool to stop in order.
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            stopRequests.fetch_add(1);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            stopRequests.fetch_add(1);
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

bool stopRequested() { return stopRequests.load() > 0; }

int stopRequestCount() { return stopRequests.load(); }

struct KeyInput::Saved {
    HANDLE input;
    DWORD mode;
};

KeyInput::KeyInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || input == nullptr || GetConsoleMode(input, &mode) == 0) return;
    saved_ = new Saved{input, mode};
    // Keys arrive as they are pressed and unechoed. Processed input stays on, so Ctrl-C still
    // reaches the handler of catchStopRequests.
    SetConsoleMode(input, (mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)) | ENABLE_PROCESSED_INPUT);
}

KeyInput::~KeyInput() {
    if (saved_ == nullptr) return;
    SetConsoleMode(saved_->input, saved_->mode);
    delete saved_;
}

int KeyInput::next() {
    if (saved_ == nullptr) return 0;
    DWORD waiting = 0;
    while (GetNumberOfConsoleInputEvents(saved_->input, &waiting) != 0 && waiting > 0) {
        INPUT_RECORD record{};
        DWORD read = 0;
        if (ReadConsoleInputW(saved_->input, &record, 1, &read) == 0 || read == 0) return 0;
        if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
        if (record.Event.KeyEvent.wVirtualKeyCode == VK_ESCAPE) return 27;
        const wchar_t key = record.Event.KeyEvent.uChar.UnicodeChar;
        if (key != 0) return static_cast<int>(key);
    }
    return 0;
}

}  // namespace tarvelin::platform
