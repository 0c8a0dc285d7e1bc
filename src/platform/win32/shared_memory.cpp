#include "platform/shared_memory.h"

#include <windows.h>

#include <string>

namespace tarvelin::platform {

struct SharedMemory::Handle {
    HANDLE mapping = nullptr;
};

bool SharedMemory::createOrOpen(std::wstring_view name, std::size_t size) {
    close();
    const std::wstring terminated(name);
    SetLastError(0);
    const auto sizeHigh = static_cast<DWORD>(static_cast<std::uint64_t>(size) >> 32);
    const auto sizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, sizeHigh, sizeLow,
                                        terminated.c_str());
    if (mapping == nullptr) return false;
    existed_ = GetLastError() == ERROR_ALREADY_EXISTS;
    handle_ = new Handle{mapping};
    return true;
}

bool SharedMemory::openExisting(std::wstring_view name, MapAccess access) {
    close();
    const std::wstring terminated(name);
    const DWORD desired = access == MapAccess::read ? FILE_MAP_READ : FILE_MAP_ALL_ACCESS;
    HANDLE mapping = OpenFileMappingW(desired, FALSE, terminated.c_str());
    if (mapping == nullptr) return false;
    existed_ = true;
    handle_ = new Handle{mapping};
    return true;
}

void SharedMemory::removeName(std::wstring_view) {}

bool SharedMemory::openPublished(std::wstring_view name, std::size_t size) { return createOrOpen(name, size); }

void* SharedMemory::map(MapAccess access, std::size_t size) {
    unmap();
    if (handle_ == nullptr) return nullptr;
    const DWORD desired = access == MapAccess::read ? FILE_MAP_READ : FILE_MAP_ALL_ACCESS;
    void* view = MapViewOfFile(handle_->mapping, desired, 0, 0, size);
    if (view == nullptr) return nullptr;
    if (size == 0) {
        // A whole-block view: its length is the region the system reserved for it.
        MEMORY_BASIC_INFORMATION region{};
        VirtualQuery(view, &region, sizeof region);
        size = region.RegionSize;
    }
    view_ = view;
    viewSize_ = size;
    return view_;
}

void SharedMemory::unmap() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    view_ = nullptr;
    viewSize_ = 0;
}

void SharedMemory::close() {
    unmap();
    keepViewOnly();
}

void SharedMemory::keepViewOnly() {
    if (handle_ == nullptr) return;
    CloseHandle(handle_->mapping);
    delete handle_;
    handle_ = nullptr;
}

bool SharedMemory::isOpen() const { return handle_ != nullptr; }

}  // namespace tarvelin::platform
