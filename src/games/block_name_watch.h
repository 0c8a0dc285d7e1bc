#pragma once
// Notices that a game quit by its block's name being gone (the reader holds only the block's
// view, which keeps the memory but not the name).
//
// Looking the name up is a call into the system that costs more than all the rest of a frame, so
// the watch looks on every 64th call only: a game that quit is still noticed within about a tenth
// of a second of cycles, while the block's memory, kept by the view, goes on reading as the game
// left it. A name once gone stays gone for the watch until reset: a game that starts again
// publishes a new block, which only a new connection maps.

#include <cstdint>

#include "games/block_access.h"

namespace tarvelin {

class BlockNameWatch {
public:
    explicit BlockNameWatch(const wchar_t* name) : name_(name) {}

    // Whether the block existed by name at the last look (looking now when it is time).
    bool stillThere() {
        if (gone_) return false;
        if (callsToNextLook_ == 0) {
            gone_ = !blockExists(name_);
            callsToNextLook_ = callsBetweenLooks;
        }
        --callsToNextLook_;
        return !gone_;
    }

    // For a new connection: the next call looks.
    void reset() {
        gone_ = false;
        callsToNextLook_ = 0;
    }

    static constexpr std::uint32_t callsBetweenLooks = 64;

private:
    const wchar_t* name_;
    std::uint32_t callsToNextLook_ = 0;
    bool gone_ = false;
};

}  // namespace tarvelin
