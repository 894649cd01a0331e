// The wait for line events: bytes arrived, the transmit queue ran empty, line errors, break
// and modem-line changes.

#include "serial/CPortTypes.h"
#include "serial/posix/Deadlines.h"
#include "serial/posix/PosixDevice.h"

#include <algorithm>
#include <cerrno>
#include <sys/epoll.h>
#include <sys/ioctl.h>

namespace memvane::posix {

ComWaitResult PosixDevice::waitCommEvent(ComEvent* stop, int timeoutMs, std::uint32_t& mask,
                                         int& error)
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
            // A wake-up also shows bytes already reported: only growth beyond them is new.
            std::lock_guard lock(m_mutex);
            int queued = 0;
            if (::ioctl(m_fd, FIONREAD, &queued) == 0 &&
                m_rxBaseline.newArrival(static_cast<std::uint32_t>(queued))) {
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

std::uint32_t PosixDevice::lineStatusEvents(std::uint32_t wanted)
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

} // namespace memvane::posix
