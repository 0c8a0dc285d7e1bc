#include "line_speed.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#else
#include <termios.h>
#endif

namespace rig_emulator {

std::uint32_t lineSpeed(int fd) {
#if defined(__linux__)
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) return 0;
    return settings.c_ospeed;
#else
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) return 0;
    return static_cast<std::uint32_t>(cfgetospeed(&settings));
#endif
}

}  // namespace rig_emulator
