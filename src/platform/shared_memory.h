#pragma once
// Named blocks of memory shared between processes: what each platform must provide.
//
// Games publish telemetry in named blocks, and the engine publishes the rig pose and the rig
// link's mailboxes the same way. On Windows these are file mappings backed by the paging file;
// on POSIX they are shm_open objects whose name is the Windows name without a leading
// "Local\" (so "Local\acpmf_physics" is /dev/shm/acpmf_physics, as Wine/Proton bridge tools
// publish them).
//
// A SharedMemory object owns one handle and at most one view. It is not thread-safe; every
// owner uses its block from one thread at a time.

#include <cstddef>
#include <string_view>

namespace tarvelin::platform {

enum class MapAccess { read, readWrite };

class SharedMemory {
public:
    SharedMemory() = default;
    ~SharedMemory();
    SharedMemory(SharedMemory&& other) noexcept;
    SharedMemory& operator=(SharedMemory&& other) noexcept;
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    // Creates the block with `size` bytes, or opens it when it exists already
    // (CreateFileMappingW on the paging file, read-write). Closes what this object held first.
    // On POSIX a block created here is removed from the namespace when this object closes it,
    // as a Windows block disappears with its last handle.
    bool createOrOpen(std::wstring_view name, std::size_t size);

    // Opens a block that exists already (OpenFileMappingW); fails when there is none.
    bool openExisting(std::wstring_view name, MapAccess access);

    // Forgets a block's name, so that the next createOrOpen creates a fresh block: on POSIX the
    // name of a block a crashed program left behind is unlinked; on Windows a block disappears
    // with its last handle, so there is nothing to do. Programs that map the block keep it.
    static void removeName(std::wstring_view name);

    // Opens a block that another program (a game) publishes, for reading. On Windows the block
    // is created when the program has not yet, as CreateFileMappingW does, and the program then
    // opens this same mapping when it starts. On POSIX only a block that exists is opened: one
    // created here would be unlinked when closed, and a program (a bridge) that created its own
    // in the meantime would be left writing into a block nobody can open. A block that is
    // missing then simply means the program is not there.
    bool openPublished(std::wstring_view name, std::size_t size);

    // True when the last createOrOpen found the block already there.
    bool alreadyExisted() const { return existed_; }

    // Maps `size` bytes from offset 0, or the whole block when size is 0 (MapViewOfFile).
    // Replaces an earlier view. Fails (null) when the block is smaller than `size`, so that a
    // short block can never be read past its end.
    void* map(MapAccess access, std::size_t size);

    void unmap();

    // Closes the handle but keeps the view, which keeps the block's memory alive by itself. The
    // block's name is then held only by the other programs that have it open: once they all close
    // it, it can no longer be opened by name, which is how a reader notices that a game quit.
    // (On Windows a name lives as long as any handle to the block, the reader's own included.)
    void keepViewOnly();

    // Unmaps the view and closes the handle.
    void close();

    bool isOpen() const;
    void* view() const { return view_; }
    std::size_t viewSize() const { return viewSize_; }

private:
    struct Handle;  // the platform's handle, defined by each backend
    Handle* handle_ = nullptr;
    void* view_ = nullptr;
    std::size_t viewSize_ = 0;
    bool existed_ = false;
};

}  // namespace tarvelin::platform
