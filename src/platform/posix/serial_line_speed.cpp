#include "platform/posix/serial_line_speed.h"

#include <cerrno>

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#else
#include <termios.h>
#endif

namespace tarvelin::platform::posix {

bool setLineSpeed(int fd, std::uint32_t baud) {
    if (baud == 0) {
        // Speed 0 means "hang up" to a terminal; Windows refuses it as an invalid parameter.
        errno = EINVAL;
        return false;
    }
#if defined(__linux__)
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) return false;
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = baud;
    settings.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &settings) == 0;
#else
    // The BSDs and macOS take the rate itself as the speed value.
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) return false;
    if (cfsetspeed(&settings, static_cast<speed_t>(baud)) != 0) return false;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
#endif
}

}  // namespace tarvelin::platform::posix
