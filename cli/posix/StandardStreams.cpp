#include "cli/StandardStreams.h"

#include <cerrno>
#include <fcntl.h>

namespace memvane::cli {

namespace {

bool closedStandardDescriptor(int fd)
{
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return false;
    // The lowest free descriptor is the closed one.
    return ::open("/dev/null", O_RDWR | O_CLOEXEC) == fd;
}

} // namespace

StandardStreams guardStandardStreams()
{
    StandardStreams streams;
    streams.inClosed = closedStandardDescriptor(0);
    streams.outClosed = closedStandardDescriptor(1);
    closedStandardDescriptor(2);
    return streams;
}

} // namespace memvane::cli
