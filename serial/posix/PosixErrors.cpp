#include "serial/posix/PosixErrors.h"

#include <cerrno>
#include <cstring>

namespace memvane::posix {

std::string OpenErrorDetail(const std::string& path, int err)
{
    std::string head = "cannot open " + path + ": ";
    switch (err) {
    case EACCES:
    case EPERM:
        return head + std::strerror(err) +
               "; add your user to the group that owns the device (usually \"dialout\") and "
               "log in again";
    case EBUSY:
    case EWOULDBLOCK:
        return head + "the port is in use by another program";
    case ENXIO:
    case ENODEV:
        return head + "no such device";
    case EIO:
        // A legacy port node (/dev/ttyS*) opens even when no UART answers at its address; the
        // first terminal ioctl then fails with EIO.
        return head + "there is no serial hardware behind it (" + std::strerror(err) + ")";
    case ENOTTY:
        return NotATerminalDetail(path, "a device that is not a terminal");
    default:
        return head + std::strerror(err);
    }
}

std::string NotATerminalDetail(const std::string& path, const std::string& what)
{
    return "cannot open " + path + ": not a serial port (" + what + ")";
}

std::string LostDeviceDetail(const std::string& path)
{
    return "lost " + path + ": the device hung up (unplugged, switched off or reset)";
}

} // namespace memvane::posix
