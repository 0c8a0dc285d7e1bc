#include "platform/child_process.h"

#include <windows.h>

#include <string>

namespace tarvelin::platform {

namespace {

HANDLE handle(std::intptr_t process) { return reinterpret_cast<HANDLE>(process); }

}  // namespace

ChildProcess::~ChildProcess() { terminate(); }

bool ChildProcess::start(const std::filesystem::path& program) {
    terminate();
    const std::wstring path = program.wstring();
    // CreateProcessW may write into the command line, so it gets a copy of its own; the quotes
    // keep a path with spaces one argument.
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // Detached: the child gets no console at all. Given a console of its own, it would come with
    // a console host process (under Wine a headless conhost.exe) that outlives the child and keeps
    // the parent's standard output open, so a test runner waiting for that output never ends.
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    process_ = reinterpret_cast<std::intptr_t>(started.hProcess);
    return true;
}

bool ChildProcess::running() const {
    return process_ != 0 && WaitForSingleObject(handle(process_), 0) == WAIT_TIMEOUT;
}

void ChildProcess::terminate() {
    if (process_ == 0) return;
    TerminateProcess(handle(process_), 0);
    WaitForSingleObject(handle(process_), 10000);
    CloseHandle(handle(process_));
    process_ = 0;
}

}  // namespace tarvelin::platform
