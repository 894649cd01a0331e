#include "serial/posix/PosixBackend.h"

#include "serial/CPortTypes.h"
#include "serial/posix/PortNames.h"
#include "serial/posix/PosixErrors.h"
#include "serial/posix/Termios2.h"
#include "serial/posix/TermiosMapping.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

namespace memvane {

std::shared_ptr<TComBackend> DefaultComBackend()
{
    static std::shared_ptr<TComBackend> backend = std::make_shared<posix::PosixBackend>();
    return backend;
}

namespace posix {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;

// A manual-reset event on an eventfd: readable while set.
class PosixEvent : public ComEvent
{
public:
    PosixEvent() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~PosixEvent() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PosixEvent(const PosixEvent&) = delete;
    PosixEvent& operator=(const PosixEvent&) = delete;

    void set() override
    {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_fd, &one, sizeof one);
    }
    void reset() override
    {
        std::uint64_t value = 0;
        [[maybe_unused]] ssize_t n = ::read(m_fd, &value, sizeof value);
    }
    bool isSet() const override
    {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Milliseconds until `deadline` for poll(): -1 without a deadline, 0 once it has passed.
int msUntil(const std::optional<Clock::time_point>& deadline)
{
    if (!deadline)
        return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return static_cast<int>(std::min<long long>(left, 0x7FFFFFFF));
}

std::optional<Clock::time_point> earlier(std::optional<Clock::time_point> a,
                                         std::optional<Clock::time_point> b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}

bool noModemLines(int err)
{
    return err == ENOTTY || err == EINVAL;
}

class PosixDevice : public ComDevice
{
public:
    PosixDevice(int fd, std::string path)
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

    ~PosixDevice() override { close(); }

    bool ok() const { return m_ok; }

    int setupComm(std::uint32_t inQueue, std::uint32_t) override
    {
        // Linux drivers have fixed queues; the size only sets the 80% mark of EV_RX80FULL.
        Use use(*this);
        if (!use)
            return EBADF;
        m_inQueue = inQueue;
        return 0;
    }

    int setCommState(const TComDCB& dcb) override
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

    int setCommTimeouts(const TComTimeoutValues& timeouts) override
    {
        Use use(*this);
        if (!use)
            return EBADF;
        std::lock_guard lock(m_mutex);
        m_timeouts = timeouts;
        return 0;
    }

    int setCommMask(std::uint32_t mask) override
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

    ComWaitResult waitCommEvent(ComEvent* stop, int timeoutMs, std::uint32_t& mask,
                                int& error) override
    {
        mask = 0;
        error = 0;
        Use use(*this);
        if (!use) {
            error = EBADF;
            return ComWaitResult::Failed;
        }
        std::lock_guard waiter(m_waitMutex);
        int stopFd = -1;
        if (stop) {
            auto* pe = dynamic_cast<PosixEvent*>(stop);
            if (!pe || pe->fd() < 0) {
                error = EINVAL;
                return ComWaitResult::Failed;
            }
            stopFd = pe->fd();
            // Registered per wait: a stop event's descriptor number may be reused later.
            epoll_event ev{};
            ev.events = EPOLLIN;
            ev.data.u32 = kStop;
            if (::epoll_ctl(m_epfd, EPOLL_CTL_ADD, stopFd, &ev) != 0) {
                error = errno;
                return ComWaitResult::Failed;
            }
        }
        struct Unregister
        {
            int epfd, fd;
            ~Unregister()
            {
                if (fd >= 0)
                    ::epoll_ctl(epfd, EPOLL_CTL_DEL, fd, nullptr);
            }
        } unregister{m_epfd, stopFd};

        std::optional<Clock::time_point> deadline;
        if (timeoutMs >= 0)
            deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (stop && stop->isSet())
                return ComWaitResult::Stopped;
            int waitMs = msUntil(deadline);
            const std::uint32_t wanted = m_mask;
            if ((wanted & EV_TXEMPTY) && m_txPending) {
                int outq = 0;
                if (::ioctl(m_fd, TIOCOUTQ, &outq) != 0) {
                    m_txPending = false; // no queue to watch (a hang-up shows below)
                } else if (outq == 0) {
                    m_txPending = false;
                    mask = EV_TXEMPTY;
                    return ComWaitResult::Events;
                } else {
                    // Look again when the queued bytes should have left the line.
                    std::uint32_t baud = std::max<std::uint32_t>(m_baud, 1);
                    int estimate = static_cast<int>(
                        std::min<std::uint64_t>(1000, std::uint64_t(outq) * 10000 / baud + 1));
                    waitMs = waitMs < 0 ? estimate : std::min(waitMs, estimate);
                }
            }
            epoll_event evs[4];
            int n = ::epoll_wait(m_epfd, evs, 4, waitMs);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                return ComWaitResult::Failed;
            }
            std::uint32_t portEvents = 0;
            bool closing = false, stopped = false, txWake = false;
            for (int i = 0; i < n; ++i) {
                switch (evs[i].data.u32) {
                case kPort:
                    portEvents |= evs[i].events;
                    break;
                case kClosing:
                    closing = true;
                    break;
                case kTxWake:
                    txWake = true;
                    break;
                case kStop:
                    stopped = true;
                    break;
                }
            }
            if (stopped || (stop && stop->isSet()))
                return ComWaitResult::Stopped;
            if (closing) {
                error = EBADF;
                return ComWaitResult::Failed;
            }
            if (txWake)
                m_txWake.reset();
            if (portEvents & (EPOLLHUP | EPOLLERR)) {
                error = EIO; // the line hung up: the device is gone
                return ComWaitResult::Failed;
            }
            std::uint32_t found = 0;
            if (portEvents & EPOLLIN) {
                // The terminal may wake us more than once for one arrival (and any wake-up
                // reports bytes still queued), so an arrival is a queue that grew beyond what
                // was there at the last report less what was read since.
                std::lock_guard lock(m_mutex);
                int queued = 0;
                if (::ioctl(m_fd, FIONREAD, &queued) == 0 &&
                    static_cast<std::uint32_t>(queued) > m_rxBaseline) {
                    m_rxBaseline = static_cast<std::uint32_t>(queued);
                    if (wanted & EV_RXCHAR)
                        found |= EV_RXCHAR;
                    if ((wanted & EV_RX80FULL) &&
                        static_cast<std::uint64_t>(queued) * 10 >= std::uint64_t(m_inQueue) * 8)
                        found |= EV_RX80FULL;
                }
            }
            found |= lineStatusEvents(wanted);
            if (found) {
                mask = found;
                return ComWaitResult::Events;
            }
            if (n == 0 && deadline && Clock::now() >= *deadline)
                return ComWaitResult::TimedOut;
        }
    }

    int read(void* buffer, int size, int& count) override
    {
        count = 0;
        Use use(*this);
        if (!use)
            return EBADF;
        if (size <= 0)
            return 0;
        TComTimeoutValues t;
        std::shared_ptr<PosixEvent> abort;
        {
            std::lock_guard lock(m_mutex);
            t = m_timeouts;
            abort = m_readAbort;
        }
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
            std::uint64_t ms = std::uint64_t(t.ReadTotalTimeoutMultiplier) * std::uint64_t(size) +
                               t.ReadTotalTimeoutConstant;
            total = start + std::chrono::milliseconds(std::min<std::uint64_t>(ms, 1ull << 40));
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
                    m_rxBaseline -= std::min<std::uint32_t>(m_rxBaseline, std::uint32_t(n));
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

    int write(const void* buffer, int size, int& count) override
    {
        count = 0;
        Use use(*this);
        if (!use)
            return EBADF;
        if (size <= 0)
            return 0;
        TComTimeoutValues t;
        std::shared_ptr<PosixEvent> abort;
        {
            std::lock_guard lock(m_mutex);
            t = m_timeouts;
            abort = m_writeAbort;
        }
        std::optional<Clock::time_point> deadline;
        if (t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0) {
            std::uint64_t ms = std::uint64_t(t.WriteTotalTimeoutMultiplier) * std::uint64_t(size) +
                               t.WriteTotalTimeoutConstant;
            deadline =
                Clock::now() + std::chrono::milliseconds(std::min<std::uint64_t>(ms, 1ull << 40));
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

    int purge(std::uint32_t flags) override
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
                m_rxBaseline = 0;
        }
        return 0;
    }

    int clearCommError(std::uint32_t& errors, TComStat& stat) override
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

    int getModemStatus(std::uint32_t& status) override
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

    int escapeCommFunction(std::uint32_t function) override
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

    int transmitCommChar(std::uint8_t ch) override
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

    int close() override
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

    std::intptr_t nativeHandle() const override
    {
        std::lock_guard lock(m_mutex);
        return m_closed ? -1 : m_fd;
    }

    std::string lostReason() override
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

private:
    enum : std::uint32_t { kPort, kClosing, kTxWake, kStop };

    // Keeps the descriptor open while an operation uses it.
    class Use
    {
    public:
        explicit Use(PosixDevice& d) : m_d(d)
        {
            std::lock_guard lock(d.m_mutex);
            m_ok = !d.m_closed;
            if (m_ok)
                ++d.m_users;
        }
        ~Use()
        {
            if (!m_ok)
                return;
            std::lock_guard lock(m_d.m_mutex);
            if (--m_d.m_users == 0)
                m_d.m_idle.notify_all();
        }
        explicit operator bool() const { return m_ok; }

    private:
        PosixDevice& m_d;
        bool m_ok;
    };

    // Waits for the descriptor to become ready; 0 when it is (or the time is up), ECANCELED
    // when the transfer was aborted, EBADF when the device is closing.
    int waitReady(short what, PosixEvent& abort, int timeoutMs)
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

    int setLine(int line, ModemLine state)
    {
        if (state == ModemLine::Leave)
            return 0;
        if (::ioctl(m_fd, state == ModemLine::On ? TIOCMBIS : TIOCMBIC, &line) != 0)
            return noModemLines(errno) ? 0 : errno;
        return 0;
    }

    // Break, line errors and modem-line changes since the last look, as event bits.
    std::uint32_t lineStatusEvents(std::uint32_t wanted)
    {
        if (!m_icountOk || !(wanted & (EV_ERR | EV_BREAK | EV_CTS | EV_DSR | EV_RING | EV_RLSD)))
            return 0;
        serial_icounter_struct now{};
        if (::ioctl(m_fd, TIOCGICOUNT, &now) != 0)
            return 0;
        std::lock_guard lock(m_mutex);
        const serial_icounter_struct& was = m_waitCount;
        std::uint32_t found = 0;
        if (now.frame != was.frame || now.parity != was.parity || now.overrun != was.overrun ||
            now.buf_overrun != was.buf_overrun)
            found |= EV_ERR;
        if (now.brk != was.brk)
            found |= EV_BREAK;
        if (now.cts != was.cts)
            found |= EV_CTS;
        if (now.dsr != was.dsr)
            found |= EV_DSR;
        if (now.rng != was.rng)
            found |= EV_RING;
        if (now.dcd != was.dcd)
            found |= EV_RLSD;
        m_waitCount = now;
        return found & wanted;
    }

    int m_fd;
    std::string m_path;
    int m_epfd = -1;
    bool m_ok = false;
    PosixEvent m_closing;
    PosixEvent m_txWake;

    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_users = 0;
    bool m_closed = false;
    std::shared_ptr<PosixEvent> m_readAbort;
    std::shared_ptr<PosixEvent> m_writeAbort;
    TComTimeoutValues m_timeouts{kMaxDword, 0, 0, 0, 0};
    std::uint32_t m_rxBaseline = 0; // queued bytes already reported, less those read since
    bool m_icountOk = false;
    serial_icounter_struct m_errCount{};
    serial_icounter_struct m_waitCount{};

    std::mutex m_waitMutex; // one line-event wait at a time
    std::atomic<std::uint32_t> m_mask{0};
    std::atomic<bool> m_discardNull{false};
    std::atomic<std::uint32_t> m_inQueue{4096};
    std::atomic<std::uint32_t> m_baud{9600};
    std::atomic<bool> m_txPending{false};
};

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
