// The parts of SharedMemory that are the same on every platform: ownership moves with the object.

#include "platform/shared_memory.h"

#include <utility>

namespace tarvelin::platform {

SharedMemory::~SharedMemory() { close(); }

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      view_(std::exchange(other.view_, nullptr)),
      viewSize_(std::exchange(other.viewSize_, 0)),
      existed_(other.existed_) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        view_ = std::exchange(other.view_, nullptr);
        viewSize_ = std::exchange(other.viewSize_, 0);
        existed_ = other.existed_;
    }
    return *this;
}

}  // namespace tarvelin::platform
