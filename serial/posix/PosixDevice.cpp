// The device's life time, line settings, modem lines, queues and error counters.

#include "serial/posix/PosixDevice.h"
#include "serial/CPortTypes.h"
#include "serial/posix/PosixErrors.h"
#include "serial/posix/Termios2.h"

#include <cerrno>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace memvane::posix {

namespace {

bool noModemLines(int err)
{
    return err == ENOTTY || err == EINVAL;
}

} // namespace

PosixDevice::PosixDevice(int fd, std::string path)
    : m_fd(fd), m_path(std::move(path)), m_readAbort(std::make_shared<PosixEvent>()),
      m_writeAbort(std::make_shared<PosixEvent>())
{
    m_epfd = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLOUT | EPOLLET;
    ev.data.u32 = kPort;
    m_ok = m_epfd >= 0 && m_closing.fd() >= 0 && m_txWake.fd() >= 0 &&
           ::epoll_ctl(m_epfd, EPOLL_CTL_ADD, m_fd, &ev) == 0;
    ev.events = EPOLLIN;
    ev.data.u32 = kClosing;
    m_ok = m_ok && ::epoll_ctl(m_epfd, EPOLL_CTL_ADD, m_closing.fd(), &ev) == 0;
    ev.data.u32 = kTxWake;
    m_ok = m_ok && ::epoll_ctl(m_epfd, EPOLL_CTL_ADD, m_txWake.fd(), &ev) == 0;
    m_icountOk = ::ioctl(m_fd, TIOCGICOUNT, &m_errCount) == 0;
    m_waitCount = m_errCount;
}

int PosixDevice::setupComm(std::uint32_t inQueue, std::uint32_t)
{
    // Linux drivers have fixed queues; the size only sets the 80% mark of EV_RX80FULL.
    Use use(*this);
    if (!use)
        return EBADF;
    m_inQueue = inQueue;
    return 0;
}

int PosixDevice::setCommState(const TComDCB& dcb)
{
    Use use(*this);
    if (!use)
        return EBADF;
    struct termios current
    {
    };
    if (::tcgetattr(m_fd, &current) != 0)
        return errno;
    TermiosPlan plan;
    if (int err = PlanTermios(dcb, current, plan))
        return err;
    if (::tcsetattr(m_fd, TCSANOW, &plan.tio) != 0)
        return errno;
    if (plan.customRate) {
        if (int err = SetCustomBaudRate(m_fd, plan.rate))
            return err;
    }
    if (int err = setLine(TIOCM_DTR, plan.dtr))
        return err;
    if (int err = setLine(TIOCM_RTS, plan.rts))
        return err;
    m_discardNull = plan.discardNull;
    m_baud = plan.rate;
    return 0;
}

int PosixDevice::setCommTimeouts(const TComTimeoutValues& timeouts)
{
    Use use(*this);
    if (!use)
        return EBADF;
    std::lock_guard lock(m_mutex);
    m_timeouts = timeouts;
    return 0;
}

int PosixDevice::setCommMask(std::uint32_t mask)
{
    Use use(*this);
    if (!use)
        return EBADF;
    m_mask = mask;
    std::lock_guard lock(m_mutex);
    if (m_icountOk)
        ::ioctl(m_fd, TIOCGICOUNT, &m_waitCount);
    return 0;
}

int PosixDevice::purge(std::uint32_t flags)
{
    Use use(*this);
    if (!use)
        return EBADF;
    {
        // Ending a transfer: fire the token it waits on and hand out a fresh one.
        std::lock_guard lock(m_mutex);
        if (flags & PURGE_RXABORT) {
            m_readAbort->set();
            m_readAbort = std::make_shared<PosixEvent>();
        }
        if (flags & PURGE_TXABORT) {
            m_writeAbort->set();
            m_writeAbort = std::make_shared<PosixEvent>();
        }
    }
    const bool in = flags & PURGE_RXCLEAR, out = flags & PURGE_TXCLEAR;
    if (in || out) {
        std::lock_guard lock(m_mutex);
        if (::tcflush(m_fd, in && out ? TCIOFLUSH : in ? TCIFLUSH : TCOFLUSH) != 0)
            return errno;
        if (in)
            m_rxBaseline.purged();
    }
    return 0;
}

int PosixDevice::clearCommError(std::uint32_t& errors, TComStat& stat)
{
    errors = 0;
    stat = TComStat{};
    Use use(*this);
    if (!use)
        return EBADF;
    int n = 0;
    if (::ioctl(m_fd, FIONREAD, &n) != 0)
        return errno;
    stat.InQueue = static_cast<std::uint32_t>(n);
    if (::ioctl(m_fd, TIOCOUTQ, &n) != 0)
        return errno;
    stat.OutQueue = static_cast<std::uint32_t>(n);
    std::lock_guard lock(m_mutex);
    serial_icounter_struct now{};
    if (m_icountOk && ::ioctl(m_fd, TIOCGICOUNT, &now) == 0) {
        if (now.frame != m_errCount.frame)
            errors |= CE_FRAME;
        if (now.parity != m_errCount.parity)
            errors |= CE_RXPARITY;
        if (now.overrun != m_errCount.overrun)
            errors |= CE_OVERRUN;
        if (now.brk != m_errCount.brk)
            errors |= CE_BREAK;
        if (now.buf_overrun != m_errCount.buf_overrun)
            errors |= CE_RXOVER;
        m_errCount = now;
    }
    return 0;
}

int PosixDevice::getModemStatus(std::uint32_t& status)
{
    status = 0;
    Use use(*this);
    if (!use)
        return EBADF;
    int lines = 0;
    if (::ioctl(m_fd, TIOCMGET, &lines) != 0)
        return noModemLines(errno) ? 0 : errno; // a pseudo-terminal has no modem lines
    if (lines & TIOCM_CTS)
        status |= MS_CTS_ON;
    if (lines & TIOCM_DSR)
        status |= MS_DSR_ON;
    if (lines & TIOCM_RI)
        status |= MS_RING_ON;
    if (lines & TIOCM_CD)
        status |= MS_RLSD_ON;
    return 0;
}

int PosixDevice::escapeCommFunction(std::uint32_t function)
{
    Use use(*this);
    if (!use)
        return EBADF;
    int bits = 0;
    int r = 0;
    switch (function) {
    case SETXOFF:
        r = ::tcflow(m_fd, TCOOFF);
        break;
    case SETXON:
        r = ::tcflow(m_fd, TCOON);
        break;
    case SETRTS:
        bits = TIOCM_RTS;
        r = ::ioctl(m_fd, TIOCMBIS, &bits);
        break;
    case CLRRTS:
        bits = TIOCM_RTS;
        r = ::ioctl(m_fd, TIOCMBIC, &bits);
        break;
    case SETDTR:
        bits = TIOCM_DTR;
        r = ::ioctl(m_fd, TIOCMBIS, &bits);
        break;
    case CLRDTR:
        bits = TIOCM_DTR;
        r = ::ioctl(m_fd, TIOCMBIC, &bits);
        break;
    case SETBREAK:
        r = ::ioctl(m_fd, TIOCSBRK);
        break;
    case CLRBREAK:
        r = ::ioctl(m_fd, TIOCCBRK);
        break;
    default:
        return EINVAL;
    }
    return r == 0 ? 0 : errno;
}

int PosixDevice::transmitCommChar(std::uint8_t ch)
{
    Use use(*this);
    if (!use)
        return EBADF;
    for (;;) {
        ssize_t n = ::write(m_fd, &ch, 1);
        if (n == 1)
            return 0;
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 ? errno : EIO;
    }
}

int PosixDevice::close()
{
    {
        std::unique_lock lock(m_mutex);
        if (m_closed)
            return 0;
        m_closed = true;
    }
    m_closing.set(); // ends every wait and transfer still running
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_users == 0; });
    }
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd); // also drops the flock
    if (m_epfd >= 0)
        ::close(m_epfd);
    return 0;
}

std::intptr_t PosixDevice::nativeHandle() const
{
    std::lock_guard lock(m_mutex);
    return m_closed ? -1 : m_fd;
}

std::string PosixDevice::lostReason()
{
    Use use(*this);
    if (!use)
        return {};
    // A terminal that hung up stays hung up and reports POLLHUP to every poll; a working
    // line never does (CLOCAL is always set, so losing carrier does not hang it up).
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP))
        return LostDeviceDetail(m_path);
    return {};
}

int PosixDevice::setLine(int line, ModemLine state)
{
    if (state == ModemLine::Leave)
        return 0;
    if (::ioctl(m_fd, state == ModemLine::On ? TIOCMBIS : TIOCMBIC, &line) != 0)
        return noModemLines(errno) ? 0 : errno;
    return 0;
}

} // namespace memvane::posix
