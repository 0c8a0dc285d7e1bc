#include "serial/console.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace tarvelin::serial {

namespace {
std::atomic<ConsoleObserver> observer{nullptr};
}  // namespace

void consolePrint(const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length < 0) return;
    std::fputs(text, stdout);
    std::fflush(stdout);
    if (const ConsoleObserver notify = observer.load()) notify(text);
}

void setConsoleObserver(ConsoleObserver newObserver) {
    observer.store(newObserver);
}

}  // namespace tarvelin::serial
