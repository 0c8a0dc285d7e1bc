#include "platform/named_event.h"

#include <fcntl.h>
#include <semaphore.h>

#include "platform/posix/object_name.h"

namespace tarvelin::platform {

NamedEvent::~NamedEvent() { close(); }

bool NamedEvent::open(std::wstring_view name) {
    close();
    sem_t* semaphore = sem_open(posix::objectName(name).c_str(), 0);
    if (semaphore == SEM_FAILED) return false;
    handle_ = semaphore;
    return true;
}

bool NamedEvent::create(std::wstring_view name) {
    close();
    // O_EXCL tells a new semaphore from one that existed, which close() must not unlink.
    const std::string bare = posix::objectName(name);
    sem_t* semaphore = sem_open(bare.c_str(), O_CREAT | O_EXCL, 0666, 0);
    if (semaphore != SEM_FAILED) {
        createdName_ = name;
    } else {
        semaphore = sem_open(bare.c_str(), 0);
        if (semaphore == SEM_FAILED) return false;
    }
    handle_ = semaphore;
    return true;
}

void NamedEvent::close() {
    if (handle_ != nullptr) sem_close(static_cast<sem_t*>(handle_));
    handle_ = nullptr;
    if (!createdName_.empty()) sem_unlink(posix::objectName(createdName_).c_str());
    createdName_.clear();
}

}  // namespace tarvelin::platform
