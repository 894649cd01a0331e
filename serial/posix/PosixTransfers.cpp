// Reads and writes on the non-blocking descriptor, bounded by the component's timeouts and
// ended early by the abort token (purge) or the closing device.

#include "serial/posix/Deadlines.h"
#include "serial/posix/PosixDevice.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace memvane::posix {

int PosixDevice::read(void* buffer, int size, int& count)
{
    count = 0;
    Use use(*this);
    if (!use)
        return EBADF;
    if (size <= 0)
        return 0;
    const auto [t, abort] = transferSettings(m_readAbort);
    const bool immediate = t.ReadIntervalTimeout == kMaxDword &&
                           t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
    // Wait up to the constant for the first byte, then return what is there.
    const bool firstByte =
        t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == kMaxDword &&
        t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != kMaxDword;
    std::optional<Clock::time_point> total;
    const auto start = Clock::now();
    if (firstByte) {
        total = start + std::chrono::milliseconds(t.ReadTotalTimeoutConstant);
    } else if (!immediate &&
               (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0)) {
        total =
            totalDeadline(start, t.ReadTotalTimeoutMultiplier, size, t.ReadTotalTimeoutConstant);
    }
    const bool useInterval = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != kMaxDword;
    std::optional<Clock::time_point> lastByte;
    char* out = static_cast<char*>(buffer);
    for (;;) {
        ssize_t n = 0;
        int readError = 0;
        {
            std::lock_guard lock(m_mutex);
            n = ::read(m_fd, out + count, static_cast<std::size_t>(size - count));
            readError = errno;
            if (n > 0)
                m_rxBaseline.consumed(std::uint32_t(n));
        }
        errno = readError;
        if (n > 0) {
            int got = static_cast<int>(n);
            if (m_discardNull) {
                char* first = out + count;
                got = static_cast<int>(std::remove(first, first + got, '\0') - first);
            }
            count += got;
            lastByte = Clock::now();
            if (count == size || (firstByte && count > 0))
                return 0;
            continue;
        }
        if (n == 0)
            return count > 0 ? 0 : EIO; // end of file on a terminal: it hung up
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return count > 0 ? 0 : errno;
        if (immediate)
            return 0;
        std::optional<Clock::time_point> deadline = total;
        if (useInterval && lastByte)
            deadline =
                earlier(deadline, *lastByte + std::chrono::milliseconds(t.ReadIntervalTimeout));
        if (deadline && Clock::now() >= *deadline)
            return 0;
        int r = waitReady(POLLIN, *abort, msUntil(deadline));
        if (r > 0)
            return r;
    }
}

int PosixDevice::write(const void* buffer, int size, int& count)
{
    count = 0;
    Use use(*this);
    if (!use)
        return EBADF;
    if (size <= 0)
        return 0;
    const auto [t, abort] = transferSettings(m_writeAbort);
    std::optional<Clock::time_point> deadline;
    if (t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0) {
        deadline = totalDeadline(Clock::now(), t.WriteTotalTimeoutMultiplier, size,
                                 t.WriteTotalTimeoutConstant);
    }
    const char* in = static_cast<const char*>(buffer);
    int result = 0;
    for (;;) {
        ssize_t n = ::write(m_fd, in + count, static_cast<std::size_t>(size - count));
        if (n > 0) {
            count += static_cast<int>(n);
            if (count == size)
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            result = errno;
            break;
        }
        if (deadline && Clock::now() >= *deadline)
            break; // the write timeout ends it with what went out
        int r = waitReady(POLLOUT, *abort, msUntil(deadline));
        if (r > 0) {
            result = r;
            break;
        }
    }
    if (count > 0) {
        m_txPending = true;
        m_txWake.set();
    }
    return result;
}

int PosixDevice::waitReady(short what, PosixEvent& abort, int timeoutMs)
{
    pollfd fds[3] = {{m_fd, what, 0}, {abort.fd(), POLLIN, 0}, {m_closing.fd(), POLLIN, 0}};
    for (;;) {
        int n = ::poll(fds, 3, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (fds[2].revents)
            return EBADF;
        if (fds[1].revents)
            return ECANCELED;
        return 0; // ready, hung up (the next read/write tells), or timed out
    }
}

PosixDevice::TransferSettings
PosixDevice::transferSettings(const std::shared_ptr<PosixEvent>& token) const
{
    std::lock_guard lock(m_mutex);
    return {m_timeouts, token};
}

} // namespace memvane::posix
