#pragma once
// The POSIX backend: serial devices through termios.
//
// Open: the port name maps to a device path (PortNames.h); anything that is not a terminal
// (regular file, directory, FIFO, /dev/null) is refused before or right after opening, so a bad
// settings file can never make the program write into a file. The device is opened with
// O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC and held exclusively with flock then TIOCEXCL.
//
// Transfers run on the non-blocking descriptor with poll() and deadlines taken from the
// component's timeouts: read interval -1 with both read totals 0 returns at once with what is
// queued; otherwise a read waits for its total and interval deadlines; a write is bounded by
// constant + multiplier x length (both 0: no bound). Every wait also watches an abort token
// (purge with the abort flags) and the device's closing signal, so no transfer outlives close().
//
// Line events: epoll in edge-triggered mode on the descriptor plus the caller's stop event.
// Each arrival of bytes reports EV_RXCHAR once; bytes left in the queue do not report again (the
// device keeps count of what it reported and what was read since, because a terminal may wake
// a waiter more than once per arrival, and every wake-up shows the queue as readable). A
// hang-up (pty master closed, USB adapter pulled) fails the wait with EIO and never spins; from
// then on the device reports itself lost (a hung-up terminal polls POLLHUP for good).
// Break, line errors and modem-line changes are noticed through the driver's counters
// (TIOCGICOUNT) when the wait wakes up for another reason; Linux offers no way to wait for them
// alongside the descriptor. EV_RXFLAG (event character) is never reported: seeing the character
// would mean reading the bytes before the program does.

#include "serial/ComBackend.h"

namespace memvane::posix {

class PosixBackend : public TComBackend
{
public:
    std::shared_ptr<ComDevice> open(const std::string& port, bool overlapped,
                                    ComOpenError& error) override;
    std::shared_ptr<ComEvent> createEvent() override;
    void setThreadPriority(int priority) override;
};

} // namespace memvane::posix
