#include "block_feed.h"

#include "platform/utf8.h"

namespace tarvelin::emulator {

SharedBlock::SharedBlock(std::wstring_view name, std::size_t size) : name_(name), size_(size) {
    if (block_.createOrOpen(name, size)) view_ = static_cast<std::uint8_t*>(block_.map(platform::MapAccess::readWrite, size));
}

std::string SharedBlock::destination() const { return "shared memory " + platform::toUtf8(name_); }

bool BlockFeed::publish(const VehicleMotion& motion, GameStatus status) {
    if (!block_.ready()) return false;
    write_(block_.bytes(), motion, status);
    return true;
}

}  // namespace tarvelin::emulator
