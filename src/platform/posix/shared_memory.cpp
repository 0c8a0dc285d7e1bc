#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/object_name.h"

namespace tarvelin::platform {

// A POSIX block stays in /dev/shm until it is unlinked. Windows removes a mapping with its last
// handle, so a block that this object created is unlinked again when the object closes it:
// detection scans and a stopped engine leave nothing behind.
struct SharedMemory::Handle {
    int fd = -1;
    bool created = false;
    std::string name;
};

bool SharedMemory::createOrOpen(std::wstring_view name, std::size_t size) {
    close();
    existed_ = false;
    auto handle = new Handle{-1, false, posix::objectName(name)};
    handle->fd = shm_open(handle->name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
    if (handle->fd >= 0) {
        handle->created = true;
        if (ftruncate(handle->fd, static_cast<off_t>(size)) != 0) {
            ::close(handle->fd);
            shm_unlink(handle->name.c_str());
            delete handle;
            return false;
        }
    } else {
        handle->fd = shm_open(handle->name.c_str(), O_RDWR, 0666);
        if (handle->fd < 0) {
            delete handle;
            return false;
        }
        existed_ = true;
    }
    handle_ = handle;
    return true;
}

bool SharedMemory::openExisting(std::wstring_view name, MapAccess access) {
    close();
    existed_ = false;
    auto handle = new Handle{-1, false, posix::objectName(name)};
    handle->fd = shm_open(handle->name.c_str(), access == MapAccess::read ? O_RDONLY : O_RDWR, 0);
    if (handle->fd < 0) {
        delete handle;
        return false;
    }
    existed_ = true;
    handle_ = handle;
    return true;
}

void SharedMemory::removeName(std::wstring_view name) { shm_unlink(posix::objectName(name).c_str()); }

bool SharedMemory::openPublished(std::wstring_view name, std::size_t) {
    return openExisting(name, MapAccess::read);
}

void* SharedMemory::map(MapAccess access, std::size_t size) {
    unmap();
    if (handle_ == nullptr) return nullptr;
    struct stat info{};
    if (fstat(handle_->fd, &info) != 0) return nullptr;
    const auto blockSize = static_cast<std::size_t>(info.st_size);
    // Touching a page beyond the end of a shared-memory object raises SIGBUS, so a block shorter
    // than asked for is refused here instead of crashing a reader later.
    if (size == 0) size = blockSize;
    if (size == 0 || size > blockSize) return nullptr;
    const int protection = access == MapAccess::read ? PROT_READ : PROT_READ | PROT_WRITE;
    void* view = mmap(nullptr, size, protection, MAP_SHARED, handle_->fd, 0);
    if (view == MAP_FAILED) return nullptr;
    view_ = view;
    viewSize_ = size;
    return view_;
}

void SharedMemory::unmap() {
    if (view_ != nullptr) munmap(view_, viewSize_);
    view_ = nullptr;
    viewSize_ = 0;
}

void SharedMemory::close() {
    unmap();
    keepViewOnly();
}

void SharedMemory::keepViewOnly() {
    if (handle_ == nullptr) return;
    ::close(handle_->fd);
    if (handle_->created) shm_unlink(handle_->name.c_str());
    delete handle_;
    handle_ = nullptr;
}

bool SharedMemory::isOpen() const { return handle_ != nullptr; }

}  // namespace tarvelin::platform
