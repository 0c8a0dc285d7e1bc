#pragma once
// Writing the numbers of a game's layout into bytes, in the byte order the game uses. Every
// encoder builds its datagrams and blocks with these, whatever the machine's own order.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvelin::emulator {

enum class ByteOrder { little, big };

template <ByteOrder Order = ByteOrder::little>
void putUnsigned(std::span<std::uint8_t> bytes, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t shift = Order == ByteOrder::little ? i : width - 1 - i;
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * shift));
    }
}

// A 32-bit float (the value narrowed to single precision).
template <ByteOrder Order = ByteOrder::little>
void putFloat(std::span<std::uint8_t> bytes, std::size_t offset, double value) {
    putUnsigned<Order>(bytes, offset, std::bit_cast<std::uint32_t>(static_cast<float>(value)), 4);
}

template <ByteOrder Order = ByteOrder::little>
void putDouble(std::span<std::uint8_t> bytes, std::size_t offset, double value) {
    putUnsigned<Order>(bytes, offset, std::bit_cast<std::uint64_t>(value), 8);
}

template <ByteOrder Order = ByteOrder::little>
void putInt32(std::span<std::uint8_t> bytes, std::size_t offset, std::int32_t value) {
    putUnsigned<Order>(bytes, offset, static_cast<std::uint32_t>(value), 4);
}

template <ByteOrder Order = ByteOrder::little>
void putInt16(std::span<std::uint8_t> bytes, std::size_t offset, std::int16_t value) {
    putUnsigned<Order>(bytes, offset, static_cast<std::uint16_t>(value), 2);
}

}  // namespace tarvelin::emulator
