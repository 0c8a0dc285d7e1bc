#include "platform/named_event.h"

#include <fcntl.h>
#include <semaphore.h>

#include "platform/posix/wide_text.h"

namespace tarvelin::platform {

NamedEvent::~NamedEvent() { close(); }

bool NamedEvent::open(std::wstring_view name) {
    close();
    sem_t* semaphore = sem_open(posix::objectName(name).c_str(), 0);
    if (semaphore == SEM_FAILED) return false;
    handle_ = semaphore;
    return true;
}

void NamedEvent::close() {
    if (handle_ != nullptr) sem_close(static_cast<sem_t*>(handle_));
    handle_ = nullptr;
}

}  // namespace tarvelin::platform
