#pragma once
#include <cstdint>

namespace rig_emulator {
// The output speed of terminal `fd` in baud as the driver holds it (also rates without a
// B-constant); 0 when it cannot be read. Kept apart: its kernel header clashes with <termios.h>.
std::uint32_t lineSpeed(int fd);
}  // namespace rig_emulator
