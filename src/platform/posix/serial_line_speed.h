#pragma once
// Arbitrary line speeds. Linux takes any rate through the termios2 interface (BOTHER), whose
// header cannot be included beside <termios.h>; this pair of functions keeps it in a
// translation unit of its own.

#include <cstdint>

namespace tarvelin::platform::posix {

// Sets input and output speed of the open terminal `fd` to `baud`; false with errno set.
bool setLineSpeed(int fd, std::uint32_t baud);

}  // namespace tarvelin::platform::posix
