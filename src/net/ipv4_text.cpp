#include "net/ipv4_text.h"

namespace tarvelin {

std::optional<std::uint32_t> parseIPv4(std::string_view text) {
    std::uint32_t address = 0;
    int parts = 0;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = text.find('.', begin);
        const std::string_view part = text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
        if (part.empty() || ++parts > 4) return std::nullopt;
        unsigned value = 0;
        for (const char c : part) {
            if (c < '0' || c > '9') return std::nullopt;
            // Stops at once past 255, so a part of any length neither overflows nor takes long.
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > 255) return std::nullopt;
        }
        address = (address << 8) | value;
        if (end == std::string_view::npos) break;
        begin = end + 1;
    }
    if (parts != 4) return std::nullopt;
    return address;
}

bool isValidIPv4(std::string_view text) {
    return parseIPv4(text).has_value();
}

std::string formatIPv4(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFFu) + "." +
           std::to_string((address >> 8) & 0xFFu) + "." + std::to_string(address & 0xFFu);
}

}  // namespace tarvelin
