#pragma once
// Holds the last motion frame built for the rig. The game-source thread stores a frame every
// cycle while host threads copy it out; a sequence counter lets a reader retry instead of
// taking a lock, so it always gets one whole frame and the writer never waits.

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>

namespace tarvelin {

inline constexpr int rigFrameBytes = 36;
using RigFrame = std::array<std::uint8_t, rigFrameBytes>;

class RigFrameStore {
public:
    // Single writer: the game-source thread. Each word is stored with release, so a reader that
    // sees any word of a new frame also sees the odd sequence number stored before it and retries.
    void store(const RigFrame& frame) {
        std::array<std::uint64_t, wordCount> words{};
        std::memcpy(words.data(), frame.data(), frame.size());
        const auto sequence = sequence_.load(std::memory_order_relaxed);
        sequence_.store(sequence + 1, std::memory_order_relaxed);
        for (int i = 0; i < wordCount; ++i) words_[i].store(words[i], std::memory_order_release);
        sequence_.store(sequence + 2, std::memory_order_release);
    }

    // Any number of readers.
    RigFrame load() const {
        std::array<std::uint64_t, wordCount> words{};
        for (;;) {
            const auto before = sequence_.load(std::memory_order_acquire);
            for (int i = 0; i < wordCount; ++i) words[i] = words_[i].load(std::memory_order_acquire);
            if ((before & 1u) == 0 && sequence_.load(std::memory_order_relaxed) == before) break;
        }
        RigFrame frame{};
        std::memcpy(frame.data(), words.data(), frame.size());
        return frame;
    }

private:
    static constexpr int wordCount = (rigFrameBytes + 7) / 8;
    std::atomic<std::uint32_t> sequence_{0};
    std::array<std::atomic<std::uint64_t>, wordCount> words_{};
};

}  // namespace tarvelin
