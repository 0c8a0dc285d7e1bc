#include "support/allocation_counter.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace tarvelin::test {

namespace {

thread_local bool countOnThisThread = false;
std::atomic<long> thisThreadAllocations{0};
std::atomic<std::thread::id> watchedThreads[watchedThreadSlots];
std::atomic<long> watchedAllocations[watchedThreadSlots];

void countAllocation() {
    if (countOnThisThread) {
        thisThreadAllocations.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const auto self = std::this_thread::get_id();
    for (int slot = 0; slot < watchedThreadSlots; ++slot) {
        if (watchedThreads[slot].load(std::memory_order_relaxed) == self) {
            watchedAllocations[slot].fetch_add(1, std::memory_order_relaxed);
        }
    }
}

void* allocate(std::size_t size) noexcept {
    countAllocation();
    return std::malloc(size == 0 ? 1 : size);
}

// Over-aligned blocks come from malloc as well, so that one free() serves every delete: the
// block is placed at the first aligned address behind room for the pointer malloc returned,
// and that pointer is kept just in front of it. (std::aligned_alloc is missing on Windows.)
void* allocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
    countAllocation();
    const auto align = static_cast<std::uintptr_t>(alignment);
    void* raw = std::malloc((size == 0 ? 1 : size) + align + sizeof(void*));
    if (raw == nullptr) return nullptr;
    const std::uintptr_t block = (reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*) + align - 1) & ~(align - 1);
    reinterpret_cast<void**>(block)[-1] = raw;
    return reinterpret_cast<void*>(block);
}

void freeAligned(void* block) noexcept {
    if (block != nullptr) std::free(static_cast<void**>(block)[-1]);
}

void* orThrow(void* memory) {
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

}  // namespace

void countAllocationsOnThisThread(bool on) { countOnThisThread = on; }
long countedAllocations() { return thisThreadAllocations.load(); }
void resetCountedAllocations() { thisThreadAllocations.store(0); }

void watchThread(int slot, std::thread::id thread) { watchedThreads[slot].store(thread); }
long watchedThreadAllocations(int slot) { return watchedAllocations[slot].load(); }
void resetWatchedThreadAllocations(int slot) { watchedAllocations[slot].store(0); }

}  // namespace tarvelin::test

using tarvelin::test::allocate;
using tarvelin::test::allocateAligned;
using tarvelin::test::freeAligned;
using tarvelin::test::orThrow;

void* operator new(std::size_t size) { return orThrow(allocate(size)); }
void* operator new[](std::size_t size) { return orThrow(allocate(size)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) { return orThrow(allocateAligned(size, alignment)); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return orThrow(allocateAligned(size, alignment)); }
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateAligned(size, alignment);
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { freeAligned(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { freeAligned(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { freeAligned(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { freeAligned(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept { freeAligned(memory); }
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept { freeAligned(memory); }
