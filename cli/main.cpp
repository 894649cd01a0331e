// memvane-cli: the radio operations of the main window without a window (cli/Cli.h).
#include "cli/Cli.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <vector>

namespace {

// A descriptor 0, 1 or 2 that the caller closed would be the next one the port opens, and the
// channel file meant for standard output would go out on the radio line. /dev/null takes its
// place; the tool is told it is closed.
bool closedStandardDescriptor(int fd)
{
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return false;
    return ::open("/dev/null", O_RDWR | O_CLOEXEC) == fd;
}

} // namespace

int main(int argc, char** argv)
{
    bool inClosed = closedStandardDescriptor(0);
    bool outClosed = closedStandardDescriptor(1);
    closedStandardDescriptor(2);
    std::vector<std::string> args(argv + 1, argv + argc);
    return memvane::cli::run(args, outClosed ? nullptr : stdout, stderr,
                             inClosed ? nullptr : stdin);
}
