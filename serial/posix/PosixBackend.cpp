#include "serial/posix/PosixBackend.h"

#include "serial/posix/PortNames.h"
#include "serial/posix/PosixDevice.h"
#include "serial/posix/PosixErrors.h"
#include "serial/posix/PosixEvent.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace memvane {

std::shared_ptr<TComBackend> DefaultComBackend()
{
    static std::shared_ptr<TComBackend> backend = std::make_shared<posix::PosixBackend>();
    return backend;
}

namespace posix {

namespace {

std::string fileKind(const struct stat& st)
{
    if (S_ISREG(st.st_mode))
        return "a regular file";
    if (S_ISDIR(st.st_mode))
        return "a directory";
    if (S_ISFIFO(st.st_mode))
        return "a FIFO";
    if (S_ISSOCK(st.st_mode))
        return "a socket";
    if (S_ISBLK(st.st_mode))
        return "a block device";
    return "not a terminal";
}

} // namespace

std::shared_ptr<ComDevice> PosixBackend::open(const std::string& port, bool, ComOpenError& error)
{
    const std::string path = PortNameToDevicePath(port);
    auto fail = [&](int err, std::string detail) -> std::shared_ptr<ComDevice> {
        error.error = err;
        error.detail = std::move(detail);
        return nullptr;
    };
    // Look before opening: opening a FIFO or some other special file can have side effects.
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return fail(errno, OpenErrorDetail(path, errno));
    if (!S_ISCHR(st.st_mode))
        return fail(ENOTTY, NotATerminalDetail(path, fileKind(st)));

    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno, OpenErrorDetail(path, errno));
    auto failClose = [&](int err, std::string detail) {
        ::close(fd);
        return fail(err, std::move(detail));
    };
    if (!::isatty(fd)) {
        // ENOTTY for a device that is no terminal; EIO for a port without hardware behind it.
        int err = errno ? errno : ENOTTY;
        return failClose(err, OpenErrorDetail(path, err));
    }
    // The lock comes first: two programs that both lock can never share the port. TIOCEXCL then
    // keeps out programs that do not lock; it does not bind root, the lock does. Between open()
    // and TIOCEXCL another program may still open the device, but its own lock then fails.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno == EWOULDBLOCK ? EBUSY : errno;
        return failClose(err, OpenErrorDetail(path, err));
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        int err = errno;
        return failClose(err, OpenErrorDetail(path, err));
    }
    auto device = std::make_shared<PosixDevice>(fd, path);
    if (!device->ok()) {
        int err = errno ? errno : EMFILE;
        device->close();
        return fail(err, OpenErrorDetail(path, err));
    }
    return device;
}

std::shared_ptr<ComEvent> PosixBackend::createEvent()
{
    return std::make_shared<PosixEvent>();
}

void PosixBackend::setThreadPriority(int priority)
{
    // Niceness of the calling thread; raising priority needs privileges and may fail quietly.
    static const int nice[] = {19, 10, 5, 0, -5, -10, -20};
    if (priority < 0 || priority > 6)
        return;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), nice[priority]);
}

} // namespace posix
} // namespace memvane
