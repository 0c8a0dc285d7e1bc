#pragma once
// The channel of a game that publishes its telemetry in a named shared-memory block: the
// emulator creates the block under the game's name, as the game does, and rewrites it in place.
// The block lives as long as the feed; on POSIX it leaves the namespace with it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "game_feed.h"
#include "platform/shared_memory.h"

namespace tarvelin::emulator {

class SharedBlock {
public:
    // Creates the block `name` of `size` bytes (or opens it when it is there already) and maps
    // all of it for writing; a new block reads all zero.
    SharedBlock(std::wstring_view name, std::size_t size);

    bool ready() const { return view_ != nullptr; }
    // The whole block; empty when it could not be opened.
    std::span<std::uint8_t> bytes() { return {view_, view_ != nullptr ? size_ : 0}; }
    // "shared memory NAME", for the user.
    std::string destination() const;

private:
    platform::SharedMemory block_;
    std::wstring name_;
    std::uint8_t* view_ = nullptr;
    std::size_t size_;
};

// A feed over one block: the game's encoding is `write`, which fills the block from a moment
// and the game's status.
class BlockFeed : public GameFeed {
public:
    using Writer = void (*)(std::span<std::uint8_t> block, const VehicleMotion& motion, GameStatus status);

    BlockFeed(std::wstring_view name, std::size_t size, Writer write) : block_(name, size), write_(write) {}

    bool ready() const override { return block_.ready(); }
    bool publish(const VehicleMotion& motion, GameStatus status) override;
    std::string destination() const override { return block_.destination(); }

private:
    SharedBlock block_;
    Writer write_;
};

}  // namespace tarvelin::emulator
