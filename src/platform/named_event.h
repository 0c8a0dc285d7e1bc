#pragma once
// Named events that a game signals (iRacing's "data valid" event): what each platform must
// provide. The engine only needs to open one and hold it; on POSIX a named semaphore with the
// Windows name less its "Local\" prefix stands in for it. Tests and tools that play the game
// create one.

#include <string>
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
    // Creates the event as the game does (CreateEventW: manual reset, not signalled), or opens
    // it when it exists already; false on failure. Windows removes an event with its last
    // handle, but a POSIX name stays until it is unlinked: so close() unlinks the name again if
    // this object really created it, and leaves one that existed before alone.
    bool create(std::wstring_view name);
    void close();
    bool isOpen() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
    std::wstring createdName_;  // a name POSIX create() made new, for close() to unlink
};

}  // namespace tarvelin::platform
