#include "wire.h"

#include <algorithm>

namespace rig_emulator {

std::uint16_t crc16(std::span<const std::uint8_t> bytes) {
    unsigned crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xA001u : crc >> 1;
    }
    return static_cast<std::uint16_t>(crc);
}

void appendCrc(Bytes& frame) {
    const std::uint16_t crc = crc16(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

namespace {

void appendLe16(Bytes& frame, std::size_t value) {
    frame.push_back(static_cast<std::uint8_t>(value & 0xFF));
    frame.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// Frames are made at their full size before the payload is copied in: GCC 12 takes the growth of
// a small vector for a read or write past an empty region, and warns.
Bytes fixedFrame(std::uint8_t lead, std::span<const std::uint8_t> payload) {
    Bytes frame(2 + payload.size());
    frame[0] = frame[1] = lead;
    std::copy(payload.begin(), payload.end(), frame.begin() + 2);
    appendCrc(frame);
    return frame;
}

}  // namespace

Bytes shortFrame(std::uint8_t command, std::uint8_t value0, std::uint8_t value1, bool unchecked) {
    Bytes frame{0xF9, 0xF9, command, 0x00, value0, value1};
    if (unchecked) {
        frame.push_back(0x0A);
        frame.push_back(0x0D);
    } else {
        appendCrc(frame);
    }
    return frame;
}

Bytes versionReply(int version) {
    const int high = version / 100;
    const int low = version % 100;
    return shortFrame(0x02, static_cast<std::uint8_t>(low), static_cast<std::uint8_t>(high), false);
}

Bytes data38Frame(std::span<const std::uint8_t> payload) {
    Bytes padded(34, 0);
    std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), 34), padded.begin());
    return fixedFrame(0xF8, padded);
}

Bytes data78Frame(std::span<const std::uint8_t> payload) {
    Bytes padded(74, 0);
    std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), 74), padded.begin());
    return fixedFrame(0xFB, padded);
}

Bytes variableFrame(std::span<const std::uint8_t> payload) {
    Bytes frame(4 + payload.size());
    frame[0] = frame[1] = 0xFE;
    frame[2] = static_cast<std::uint8_t>(payload.size() & 0xFF);
    frame[3] = static_cast<std::uint8_t>((payload.size() >> 8) & 0xFF);
    std::copy(payload.begin(), payload.end(), frame.begin() + 4);
    appendCrc(frame);
    return frame;
}

std::vector<Bytes> fragmentFrames(std::span<const std::uint8_t> payload, std::uint16_t id) {
    std::vector<Bytes> frames;
    const std::size_t count = (payload.size() + 499) / 500;
    for (std::size_t index = 0; index < count; ++index) {
        const std::size_t offset = index * 500;
        const std::size_t length = std::min<std::size_t>(500, payload.size() - offset);
        Bytes frame{0xFA, 0xFA};
        appendLe16(frame, length + 8);
        frame.push_back(0x00);
        frame.push_back(0xF1);
        appendLe16(frame, id);
        appendLe16(frame, index);
        appendLe16(frame, count);
        frame.insert(frame.end(), payload.begin() + static_cast<std::ptrdiff_t>(offset),
                     payload.begin() + static_cast<std::ptrdiff_t>(offset + length));
        appendCrc(frame);
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::string toHex(std::span<const std::uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

std::optional<Bytes> fromHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    Bytes bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = value(text[i]);
        const int low = value(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

}  // namespace rig_emulator
