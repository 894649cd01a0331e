#pragma once
// When the device reports EV_RXCHAR. A terminal may wake a waiter more than once for one
// arrival, and every wake-up shows the bytes still queued, so "the queue is readable" is no
// arrival. The baseline is the queued count already reported, less what was read since: only a
// queue that grows beyond it holds new bytes. Not thread-safe; the device holds its lock.

#include <algorithm>
#include <cstdint>

namespace memvane::posix {

class ReceiveBaseline
{
public:
    // True when `queued` holds bytes not reported yet; they count as reported from now on.
    bool newArrival(std::uint32_t queued)
    {
        if (queued <= m_reported)
            return false;
        m_reported = queued;
        return true;
    }

    // `bytes` left the queue through a read.
    void consumed(std::uint32_t bytes) { m_reported -= std::min(m_reported, bytes); }

    // The receive queue was emptied: whatever comes next is new.
    void purged() { m_reported = 0; }

    std::uint32_t reported() const { return m_reported; }

private:
    std::uint32_t m_reported = 0;
};

} // namespace memvane::posix
