#include "games/iracing_reader.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>

#include "games/gravity_split.h"

namespace tarvelin {

namespace {

constexpr double pi = 3.14159265358979;

constexpr std::size_t statusOffset = 4;
constexpr std::size_t variableCountOffset = 24;
constexpr std::size_t tableOffsetOffset = 28;
constexpr std::size_t bufferCountOffset = 32;
constexpr std::size_t bufferLengthOffset = 36;
constexpr std::size_t descriptorsOffset = 48;
constexpr std::size_t descriptorSize = 16;
constexpr std::size_t valueOffsetInHeader = 4;
constexpr std::size_t nameInHeader = 16;
constexpr std::size_t nameLength = 32;

// The variables the reader takes, in the order of the decoder's offsets. Every one turns round:
// the simulator's lateral axis points left, and its rotations run the other way from the
// engine's (yaw clockwise, roll lifting the right side, pitch raising the nose).
struct Field {
    const char* name;
    Channel channel;
    bool negate;
    bool angle;  // radians to degrees; rates stay in radians per second
};

constexpr Field fields[] = {
    {"LatAccel", lateralAccelG, true, false},  {"LongAccel", longitudinalAccelG, false, false},
    {"VertAccel", verticalAccelG, false, false}, {"YawRate", yawSpeed, true, false},
    {"RollRate", rollSpeed, true, false},       {"PitchRate", pitchSpeed, true, false},
    {"Yaw", yawPosition, true, true},           {"Roll", rollPosition, true, true},
    {"Pitch", pitchPosition, true, true},
};
static_assert(std::size(fields) == 9);

std::uint32_t unsignedAt(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// A word of the block; the caller has made sure it lies inside.
std::int32_t wordAt(std::span<const std::uint8_t> block, std::size_t offset) {
    return static_cast<std::int32_t>(unsignedAt(block.data() + offset));
}

// The tick count of buffer `index`, read afresh from the block every time: the simulator changes
// it while the reader copies, and the compiler must not reuse an earlier reading.
std::int32_t tickAt(std::span<const std::uint8_t> block, std::size_t index) {
    const volatile std::uint8_t* bytes = block.data() + descriptorsOffset + index * descriptorSize;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                     static_cast<std::uint32_t>(bytes[2]) << 16 |
                                     static_cast<std::uint32_t>(bytes[3]) << 24);
}

// Whether `length` bytes from `offset` lie inside a block of `size` bytes.
bool inside(std::int64_t offset, std::size_t length, std::size_t size) {
    return offset >= 0 && static_cast<std::uint64_t>(offset) <= size && length <= size - static_cast<std::size_t>(offset);
}

}  // namespace

IRacingRead IRacingDecoder::read(std::span<const std::uint8_t> block, GameData& record) {
    if (block.size() < iRacingHeaderSize) return IRacingRead::unreadable;
    if ((wordAt(block, statusOffset) & 1) == 0) {
        reset();
        return IRacingRead::notConnected;
    }
    const Layout layout{wordAt(block, variableCountOffset), wordAt(block, tableOffsetOffset),
                        wordAt(block, bufferCountOffset), wordAt(block, bufferLengthOffset)};
    // The header has room for four buffer descriptors and no more.
    if (layout.bufferCount < 1 || layout.bufferCount > static_cast<std::int32_t>(iRacingMaximumBuffers) ||
        layout.bufferLength < 1) {
        return IRacingRead::unreadable;
    }

    // The newest buffer; of two with the same tick, the first.
    std::size_t newest = 0;
    std::int32_t tick = tickAt(block, 0);
    for (std::size_t i = 1; i < static_cast<std::size_t>(layout.bufferCount); ++i) {
        const std::int32_t candidate = tickAt(block, i);
        if (candidate > tick) {
            tick = candidate;
            newest = i;
        }
    }
    if (tick == lastTickCount_) return IRacingRead::noNewTick;
    if (tick < lastTickCount_) {
        // A new session counts from the start again, and may list other variables.
        lastTickCount_ = tick;
        variablesFound_ = false;
        return IRacingRead::counterRestarted;
    }

    const std::int32_t bufferOffset = wordAt(block, descriptorsOffset + newest * descriptorSize + 4);
    const std::size_t length = std::min(static_cast<std::size_t>(layout.bufferLength), iRacingLineBufferSize);
    if (!inside(bufferOffset, length, block.size())) return IRacingRead::unreadable;

    // The simulator may come round to this buffer again while it is copied. A copy whose tick
    // changed meanwhile mixes two updates: it is dropped, and the next call takes the newer one.
    // The processors the engine runs on (x86-64) keep loads in program order, so it is enough
    // that the compiler keeps the copy between the two readings of the tick.
    std::array<std::uint8_t, iRacingLineBufferSize> line;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(line.data(), block.data() + bufferOffset, length);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (tickAt(block, newest) != tick) return IRacingRead::overwritten;
    lastTickCount_ = tick;

    if (!variablesFound_ || layout != layout_ || !variablesStillThere(block)) {
        layout_ = layout;
        findVariables(block);
        variablesFound_ = true;
    }

    // The value's offset is read afresh with every frame; a value that does not lie wholly within
    // the copied part of the buffer counts as not there. One value that is not a number would stay
    // in every filter that integrates or smooths it; such a buffer is passed over whole.
    float values[std::size(fields)] = {};
    bool present[std::size(fields)] = {};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (headers_[i] < 0) continue;
        const auto offset = wordAt(block, static_cast<std::size_t>(headers_[i]) + valueOffsetInHeader);
        if (!inside(offset, sizeof(float), length)) continue;
        values[i] = std::bit_cast<float>(unsignedAt(line.data() + offset));
        if (!std::isfinite(values[i])) return IRacingRead::unreadable;
        present[i] = true;
    }
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (!present[i]) continue;
        const Field& field = fields[i];
        double value = static_cast<double>(values[i]);
        if (field.angle) value = value / pi * 180.0;
        record.channels[field.channel] = field.negate ? -value : value;
    }
    return IRacingRead::frame;
}

bool IRacingDecoder::variablesStillThere(std::span<const std::uint8_t> block) const {
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const std::int64_t header = headers_[i];
        if (header < 0) continue;
        if (!inside(header, iRacingVariableHeaderSize, block.size())) return false;
        const auto* name = reinterpret_cast<const char*>(block.data() + header + nameInHeader);
        if (std::strncmp(fields[i].name, name, nameLength) != 0) return false;
    }
    return true;
}

// One walk over the variable headers finds all nine; the first header of a name counts.
void IRacingDecoder::findVariables(std::span<const std::uint8_t> block) {
    headers_.fill(-1);
    std::size_t left = std::size(fields);
    for (std::int64_t i = 0; i < layout_.variableCount && left > 0; ++i) {
        const std::int64_t header = static_cast<std::int64_t>(layout_.tableOffset) +
                                    i * static_cast<std::int64_t>(iRacingVariableHeaderSize);
        if (!inside(header, iRacingVariableHeaderSize, block.size())) break;
        const auto* name = reinterpret_cast<const char*>(block.data() + header + nameInHeader);
        for (std::size_t f = 0; f < std::size(fields); ++f) {
            if (headers_[f] >= 0 || std::strncmp(fields[f].name, name, nameLength) != 0) continue;
            headers_[f] = header;
            --left;
            break;
        }
    }
}

void IRacingDecoder::reset() {
    lastTickCount_ = noTick;
    variablesFound_ = false;
}

bool IRacingReader::startUp() {
    if (!block.isOpen()) {
        decoder.reset();
        if (!block.openExisting(blockName, platform::MapAccess::read)) {
            initialised = false;
            return false;
        }
    }
    if (block.view() == nullptr) {
        decoder.reset();
        // The block's length depends on the simulator's version; the view covers all of it.
        if (block.map(platform::MapAccess::read, 0) == nullptr) {
            initialised = false;
            return false;
        }
    }
    if (!dataValid.isOpen()) {
        decoder.reset();
        if (!dataValid.open(eventName)) {
            initialised = false;
            return false;
        }
    }
    initialised = true;
    return true;
}

void IRacingReader::reset() {
    dataValid.close();
    block.close();
    decoder.reset();
    initialised = false;
    opened = false;
}

bool IRacingReader::read(GameData& record) {
    if (!opened) return false;
    if (!initialised && !startUp()) return false;
    if (decoder.read(view(), record) == IRacingRead::notConnected) return false;
    timer.restart();
    // Host threads read the interval through an export while this thread writes it.
    std::atomic_ref<double>(record.frameTimeMs).store(timer.lastIntervalMs(), std::memory_order_relaxed);
    applyGravitySplit(record, GravityForm::difference);
    profileSelector = 0;
    return true;
}

}  // namespace tarvelin
