#pragma once
// The channel of a game that publishes its telemetry in a named shared-memory block: the
// emulator creates the block under the game's name, as the game does, and rewrites it in place.
// The block lives as long as the feed; on POSIX it leaves the namespace with it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "game_feed.h"
#include "platform/shared_memory.h"

namespace tarvelin::emulator {

// Where a game's block carries the marker that tells a new frame: offset and length.
struct BlockStamp {
    std::size_t offset = 0;
    std::size_t size = 0;
};

class SharedBlock {
public:
    // Creates the block `name` of `size` bytes (or opens it when it is there already) and maps
    // all of it for writing; a new block reads all zero.
    SharedBlock(std::wstring_view name, std::size_t size);

    bool ready() const { return view_ != nullptr; }
    // The whole block; empty when it could not be opened.
    std::span<std::uint8_t> bytes() { return {view_, view_ != nullptr ? size_ : 0}; }

    // The next frame, prepared in a private copy of the block (as it was when opened, with every
    // frame written since); empty when the block could not be opened.
    std::span<std::uint8_t> draft() { return {draft_.data(), view_ != nullptr ? size_ : 0}; }
    // Copies what changed in the draft into the block in short bursts, the stamp (the game's
    // new-frame marker: a packet number, a clock) last. A game writes its block in place while the
    // engine reads it, and the engine may then meet a frame half written; the emulator keeps that
    // moment as short as it can, so that what the tests see is the engine's reading rather than
    // the emulator's pace of writing.
    void publish(BlockStamp stamp = {});
    // "shared memory NAME", for the user.
    std::string destination() const;

private:
    void copyChanged(std::size_t begin, std::size_t end);

    platform::SharedMemory block_;
    std::wstring name_;
    std::uint8_t* view_ = nullptr;
    std::size_t size_;
    std::vector<std::uint8_t> draft_;
};

// A feed over one block: the game's encoding is `write`, which fills the block from a moment
// and the game's status.
class BlockFeed : public GameFeed {
public:
    using Writer = void (*)(std::span<std::uint8_t> block, const VehicleMotion& motion, GameStatus status);

    BlockFeed(std::wstring_view name, std::size_t size, Writer write, BlockStamp stamp = {})
        : block_(name, size), write_(write), stamp_(stamp) {}

    bool ready() const override { return block_.ready(); }
    bool publish(const VehicleMotion& motion, GameStatus status) override;
    std::string destination() const override { return block_.destination(); }

private:
    SharedBlock block_;
    Writer write_;
    BlockStamp stamp_;
};

}  // namespace tarvelin::emulator
