// Never include <termios.h> here: its struct termios differs from the kernel's.
#include "serial/posix/Termios2.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace memvane::posix {

int SetCustomBaudRate(int fd, std::uint32_t rate)
{
    struct termios2 t
    {
    };
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    t.c_cflag &= ~static_cast<unsigned>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = rate;
    t.c_ospeed = rate;
    if (ioctl(fd, TCSETS2, &t) != 0)
        return errno;
    return 0;
}

int GetBaudRates(int fd, std::uint32_t& input, std::uint32_t& output)
{
    struct termios2 t
    {
    };
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    input = t.c_ispeed;
    output = t.c_ospeed;
    return 0;
}

} // namespace memvane::posix
