#pragma once
// Reading the fields of a game's telemetry block, and handing a decoded frame on.
//
// The games write their blocks in little-endian order while the engine reads them, so each field
// is read once, byte by byte, from wherever the caller points: a live view or a copy. Callers
// check the block's length against the farthest field they read before they read any.

#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

#include "core/game_data.h"
#include "games/gravity_split.h"
#include "games/reader_state.h"

namespace tarvelin {

using BlockBytes = std::span<const std::uint8_t>;

// The first `Size` bytes of a block that has no frame counter to tell a frame the game was
// halfway through rewriting. They are copied twice: copies that differ caught a rewrite, and the
// frame waits for the next cycle. Holds its copies, so a cycle allocates nothing.
template <std::size_t Size>
class SteadyCopy {
public:
    // Copies the first Size bytes of `live`: false when it is shorter, or changed while copied.
    bool take(BlockBytes live) {
        if (live.size() < Size) return false;
        std::memcpy(first_.data(), live.data(), Size);
        // The fence makes the compiler read the block again for the second copy.
        std::atomic_signal_fence(std::memory_order_seq_cst);
        std::memcpy(second_.data(), live.data(), Size);
        return first_ == second_;
    }

    // The copy the last successful take made.
    BlockBytes bytes() const { return first_; }

private:
    std::array<std::uint8_t, Size> first_{};
    std::array<std::uint8_t, Size> second_{};
};

template <typename Unsigned>
Unsigned littleEndianAt(BlockBytes block, std::size_t offset) {
    Unsigned value = 0;
    for (std::size_t i = 0; i < sizeof(Unsigned); ++i) value |= static_cast<Unsigned>(block[offset + i]) << (8 * i);
    return value;
}

inline std::int32_t int32At(BlockBytes block, std::size_t offset) {
    return static_cast<std::int32_t>(littleEndianAt<std::uint32_t>(block, offset));
}

inline float float32At(BlockBytes block, std::size_t offset) {
    const auto bits = littleEndianAt<std::uint32_t>(block, offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline double float64At(BlockBytes block, std::size_t offset) {
    const auto bits = littleEndianAt<std::uint64_t>(block, offset);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A decoded frame: the channels it sets and their values. A decoder fills one on the stack and
// commits it only when every value is a finite number, since one NaN or infinity would stay in
// every filter that integrates or smooths it long after the game recovered.
template <std::size_t Count>
struct DecodedFrame {
    Channel channels[Count];
    double values[Count];

    bool allFinite() const {
        for (const double value : values) {
            if (!std::isfinite(value)) return false;
        }
        return true;
    }

    // Writes the values into their channels when all are finite: false, writing nothing, when not.
    bool commitTo(GameData& record) const {
        if (!allFinite()) return false;
        for (std::size_t i = 0; i < Count; ++i) record.channels[channels[i]] = values[i];
        return true;
    }
};

// What a shared-memory reader does once it `decoded` a frame into the record: measure the interval
// since the previous one, complete the translational groups with gravity (these games all deliver
// acceleration without gravity) and ask for the AIR profile, which every one of them uses.
// Returns `decoded`: whether a frame was delivered.
inline bool deliverBlockFrame(bool decoded, ReaderState& reader, GameData& record) {
    if (!decoded) return false;
    reader.timer.restart();
    // Host threads read the interval through an export while the game-source thread writes it.
    std::atomic_ref<double>(record.frameTimeMs).store(reader.timer.lastIntervalMs(), std::memory_order_relaxed);
    applyGravitySplit(record, GravityForm::sum);
    reader.profileSelector = 0;
    return true;
}

// A field of a block that goes into one channel as it is, or scaled, or from radians to degrees.
struct BlockField {
    std::size_t offset;
    Channel channel;
    double factor;  // applied last: a unit (9.81 for g) and the sign the engine's axes need
    bool radians;   // the game gives radians (or radians per second), the channel wants degrees
};

// Reads each field once as `Value` (float or double), widens it and converts it; `pi` is the
// value of π the game's conversion uses. `shift` moves every offset (a layout that inserted
// words before the fields).
template <typename Value, std::size_t Count>
DecodedFrame<Count> decodeFields(BlockBytes block, const BlockField (&fields)[Count], double pi,
                                 std::size_t shift = 0) {
    DecodedFrame<Count> frame{};
    for (std::size_t i = 0; i < Count; ++i) {
        const BlockField& field = fields[i];
        const std::size_t offset = field.offset + shift;
        double value;
        if constexpr (std::is_same_v<Value, float>) {
            value = static_cast<double>(float32At(block, offset));
        } else {
            value = float64At(block, offset);
        }
        if (field.radians) value = value / pi * 180.0;
        frame.channels[i] = field.channel;
        frame.values[i] = value * field.factor;
    }
    return frame;
}

// The view of a block as bytes, empty when nothing is mapped.
inline BlockBytes viewBytes(const platform::SharedMemory& block) {
    const auto* view = static_cast<const std::uint8_t*>(block.view());
    return view == nullptr ? BlockBytes{} : BlockBytes(view, block.viewSize());
}

}  // namespace tarvelin
