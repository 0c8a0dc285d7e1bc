#include "block_feed.h"

#include <atomic>
#include <cstring>

#include "platform/utf8.h"

namespace tarvelin::emulator {

SharedBlock::SharedBlock(std::wstring_view name, std::size_t size) : name_(name), size_(size) {
    if (block_.createOrOpen(name, size)) view_ = static_cast<std::uint8_t*>(block_.map(platform::MapAccess::readWrite, size));
    if (view_ != nullptr) draft_.assign(view_, view_ + size);
}

void SharedBlock::publish(BlockStamp stamp) {
    if (view_ == nullptr) return;
    copyChanged(0, stamp.offset);
    copyChanged(stamp.offset + stamp.size, size_);
    // The fence keeps the compiler from moving the stamp before the fields.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    copyChanged(stamp.offset, stamp.offset + stamp.size);
}

void SharedBlock::copyChanged(std::size_t begin, std::size_t end) {
    // The fields of a frame lie close together: only the stretch from the first to the last
    // changed byte is copied.
    while (begin < end && draft_[begin] == view_[begin]) ++begin;
    while (end > begin && draft_[end - 1] == view_[end - 1]) --end;
    if (begin < end) std::memcpy(view_ + begin, draft_.data() + begin, end - begin);
}

std::string SharedBlock::destination() const { return "shared memory " + platform::toUtf8(name_); }

bool BlockFeed::publish(const VehicleMotion& motion, GameStatus status) {
    if (!block_.ready()) return false;
    write_(block_.draft(), motion, status);
    block_.publish(stamp_);
    return true;
}

}  // namespace tarvelin::emulator
