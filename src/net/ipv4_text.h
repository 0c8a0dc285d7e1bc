#pragma once
// IPv4 addresses in the dotted-quad form hosts write them in. Pure text handling.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvelin {

// True for exactly four parts separated by '.', each of one or more decimal digits with a value
// of at most 255 ("239.1.2.3", also "010.0.0.1"). Any length of text is safe to test.
bool isValidIPv4(std::string_view text);

// The address a valid text names, in host byte order, every part read as a decimal number
// (so "232.011.12.14" is 232.11.12.14, not the octal reading of the C library); nothing for an
// invalid text.
std::optional<std::uint32_t> parseIPv4(std::string_view text);

// "a.b.c.d" for an address in host byte order.
std::string formatIPv4(std::uint32_t address);

}  // namespace tarvelin
