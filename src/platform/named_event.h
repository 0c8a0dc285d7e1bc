#pragma once
// Named events that a game signals (iRacing's "data valid" event): what each platform must
// provide. The engine only needs to open one and hold it; on POSIX a named semaphore with the
// Windows name less its "Local\" prefix stands in for it.

#include <string_view>

namespace tarvelin::platform {

class NamedEvent {
public:
    NamedEvent() = default;
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    // Opens an existing event with synchronise access (OpenEventW); false when there is none.
    bool open(std::wstring_view name);
    void close();
    bool isOpen() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
};

}  // namespace tarvelin::platform
