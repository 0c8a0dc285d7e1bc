#pragma once
// The last 150 records of the engine cycle, for a host that polls far slower than 500 times a
// second. The game-source thread appends one record per cycle; a host takes everything gathered
// since its last take in one block.
//
// The records live in a fixed ring, so appending never allocates and never moves the other
// records; when the ring is full the oldest record is overwritten, exactly as if it had been
// removed from the front. One short lock per append and per take; nothing else is locked.

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace tarvelin {

template <typename Record, std::size_t Capacity = 150>
class SnapshotBuffer {
public:
    static constexpr std::size_t capacity = Capacity;

    void append(const Record& record) {
        std::lock_guard lock(mutex_);
        records_[(first_ + count_) % Capacity] = record;
        if (count_ < Capacity) {
            ++count_;
        } else {
            first_ = (first_ + 1) % Capacity;
        }
    }

    // Takes every buffered record, oldest first, into a block allocated with malloc (the host
    // releases it with free through the library), or null when there is none. The buffer is
    // empty afterwards. Throws std::bad_alloc when the block cannot be allocated; the records
    // taken are then lost, as the buffer was already emptied.
    Record* take(int& count) {
        std::array<Record, Capacity> taken;
        std::size_t taking = 0;
        {
            std::lock_guard lock(mutex_);
            for (; taking < count_; ++taking) taken[taking] = records_[(first_ + taking) % Capacity];
            first_ = 0;
            count_ = 0;
        }
        count = static_cast<int>(taking);
        if (taking == 0) return nullptr;
        auto* block = static_cast<Record*>(std::malloc(taking * sizeof(Record)));
        if (block == nullptr) throw std::bad_alloc();
        std::memcpy(block, taken.data(), taking * sizeof(Record));
        return block;
    }

    std::size_t size() {
        std::lock_guard lock(mutex_);
        return count_;
    }

private:
    std::mutex mutex_;
    std::array<Record, Capacity> records_{};
    std::size_t first_ = 0;
    std::size_t count_ = 0;
};

}  // namespace tarvelin
