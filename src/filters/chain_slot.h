#pragma once
// One profile slot's hold on its filter chain. A host thread installs a new chain while the
// game-source thread may be taking the current one for evaluation; both go through a short
// lock held only for the copy or the exchange of the pointer, never while a chain is
// evaluated or released, so the game-source thread waits at most for a pointer copy.

#include <memory>
#include <mutex>

#include "filters/filter_sys.h"

namespace tarvelin {

class ChainSlot {
public:
    ChainSlot() = default;
    ChainSlot(const ChainSlot&) = delete;
    ChainSlot& operator=(const ChainSlot&) = delete;

    // The current chain handle. Does not allocate.
    std::shared_ptr<FilterSys> load() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return handle_;
    }

    // Installs a new chain and returns the previous one, which the caller releases outside
    // the lock (an evaluation still running on it keeps it alive until it ends).
    std::shared_ptr<FilterSys> exchange(std::shared_ptr<FilterSys> handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        handle_.swap(handle);
        return handle;
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<FilterSys> handle_;
};

}  // namespace tarvelin
