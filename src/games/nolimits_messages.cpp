#include "games/nolimits_messages.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tarvelin {

namespace {

constexpr std::uint8_t messageStart = 'N';
constexpr std::uint8_t messageEnd = 'L';

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) << 24 | static_cast<std::uint32_t>(bytes[offset + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 8 | static_cast<std::uint32_t>(bytes[offset + 3]);
}

std::uint16_t bigEndian16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

}  // namespace

std::array<std::uint8_t, 10> noLimitsRequest(std::uint16_t type, std::uint32_t requestId) {
    return {messageStart,
            static_cast<std::uint8_t>(type >> 8),
            static_cast<std::uint8_t>(type),
            static_cast<std::uint8_t>(requestId >> 24),
            static_cast<std::uint8_t>(requestId >> 16),
            static_cast<std::uint8_t>(requestId >> 8),
            static_cast<std::uint8_t>(requestId),
            0,
            0,
            messageEnd};
}

std::optional<NoLimitsTelemetry> parseNoLimitsTelemetry(std::span<const std::uint8_t> message) {
    if (message.size() < noLimitsTelemetryMessageSize || message[0] != messageStart ||
        bigEndian16(message, 1) != noLimitsTelemetry || message[noLimitsTelemetryMessageSize - 1] != messageEnd) {
        return std::nullopt;
    }
    std::uint32_t words[19];
    for (std::size_t i = 0; i < 19; ++i) words[i] = bigEndian32(message, noLimitsHeaderSize + 4 * i);
    NoLimitsTelemetry telemetry;
    telemetry.state = words[0];
    telemetry.frameNumber = words[1];
    for (std::size_t i = 0; i < 6; ++i) telemetry.context[i] = static_cast<std::int32_t>(words[2 + i]);
    telemetry.speed = std::bit_cast<float>(words[8]);
    for (std::size_t i = 0; i < 3; ++i) telemetry.position[i] = std::bit_cast<float>(words[9 + i]);
    for (std::size_t i = 0; i < 4; ++i) telemetry.rotation[i] = std::bit_cast<float>(words[12 + i]);
    for (std::size_t i = 0; i < 3; ++i) telemetry.gForce[i] = std::bit_cast<float>(words[16 + i]);
    return telemetry;
}

std::span<std::uint8_t> NoLimitsStream::freeSpace() {
    if (begin_ > 0) {
        std::memmove(bytes_.data(), bytes_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    // What is kept is always less than one whole message, which fits; a full buffer would mean
    // the stream lost its way, and starting afresh is the only way on.
    if (end_ == capacity) end_ = 0;
    return std::span<std::uint8_t>(bytes_).subspan(end_);
}

void NoLimitsStream::received(std::size_t count) { end_ = std::min(end_ + count, capacity); }

std::span<const std::uint8_t> NoLimitsStream::next() {
    const std::span<const std::uint8_t> all(bytes_);
    while (begin_ < end_) {
        if (bytes_[begin_] != messageStart) {
            ++begin_;
            continue;
        }
        if (end_ - begin_ < noLimitsHeaderSize) break;
        const std::size_t length = noLimitsHeaderSize + bigEndian16(all, begin_ + 7) + 1;
        // A message longer than the buffer is nothing the engine asked for; taking its 'N' as a
        // stray byte lets the search go on.
        if (length > capacity) {
            ++begin_;
            continue;
        }
        if (end_ - begin_ < length) break;
        if (bytes_[begin_ + length - 1] != messageEnd) {
            ++begin_;
            continue;
        }
        const auto message = all.subspan(begin_, length);
        begin_ += length;
        return message;
    }
    return {};
}

}  // namespace tarvelin
