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
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return head + "no such device";
    default:
        return head + std::strerror(err);
    }
}

std::string NotATerminalDetail(const std::string& path, const std::string& what)
{
    return "cannot open " + path + ": not a serial port (" + what + ")";
}

} // namespace memvane::posix
