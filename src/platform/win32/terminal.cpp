#include "platform/terminal.h"

#include <windows.h>

#include <atomic>
#include <thread>

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

// The keys are read by a thread of their own that waits in ReadConsoleInputW. A console host may
// take keys from its terminal only while a read is waiting (Wine's does), so polling for events
// would never see one.
struct KeyInput::Saved {
    HANDLE input = nullptr;
    DWORD mode = 0;
    std::atomic<int> key{0};  // the last key pressed and not yet taken
    std::atomic<bool> ending{false};
    std::thread reader;
};

namespace {

int keyOf(const KEY_EVENT_RECORD& event) {
    if (!event.bKeyDown) return 0;
    if (event.wVirtualKeyCode == VK_ESCAPE) return 27;
    return static_cast<int>(event.uChar.UnicodeChar);
}

}  // namespace

KeyInput::KeyInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || input == nullptr || GetConsoleMode(input, &mode) == 0) return;
    saved_ = new Saved;
    saved_->input = input;
    saved_->mode = mode;
    // Keys arrive as they are pressed and unechoed. Processed input stays on, so Ctrl-C still
    // reaches the handler of catchStopRequests.
    SetConsoleMode(input, (mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)) | ENABLE_PROCESSED_INPUT);
    Saved* saved = saved_;
    saved->reader = std::thread([saved] {
        while (!saved->ending.load()) {
            INPUT_RECORD record{};
            DWORD read = 0;
            if (ReadConsoleInputW(saved->input, &record, 1, &read) == 0) return;
            if (read == 1 && record.EventType == KEY_EVENT) {
                if (const int key = keyOf(record.Event.KeyEvent); key != 0) saved->key.store(key);
            }
        }
    });
}

KeyInput::~KeyInput() {
    if (saved_ == nullptr) return;
    // An empty key record of our own wakes the reader, which then sees that it is to end.
    saved_->ending.store(true);
    INPUT_RECORD wake{};
    wake.EventType = KEY_EVENT;
    DWORD written = 0;
    WriteConsoleInputW(saved_->input, &wake, 1, &written);
    if (saved_->reader.joinable()) saved_->reader.join();
    SetConsoleMode(saved_->input, saved_->mode);
    delete saved_;
}

int KeyInput::next() { return saved_ == nullptr ? 0 : saved_->key.exchange(0); }

}  // namespace tarvelin::platform
