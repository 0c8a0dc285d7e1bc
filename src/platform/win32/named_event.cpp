#include "platform/named_event.h"

#include <windows.h>

#include <string>

namespace tarvelin::platform {

NamedEvent::~NamedEvent() { close(); }

bool NamedEvent::open(std::wstring_view name) {
    close();
    const std::wstring terminated(name);
    handle_ = OpenEventW(SYNCHRONIZE, FALSE, terminated.c_str());
    return handle_ != nullptr;
}

bool NamedEvent::create(std::wstring_view name) {
    close();
    const std::wstring terminated(name);
    handle_ = CreateEventW(nullptr, TRUE, FALSE, terminated.c_str());
    return handle_ != nullptr;
}

void NamedEvent::close() {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = nullptr;
}

}  // namespace tarvelin::platform
