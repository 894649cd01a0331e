#pragma once
// The two waits of an exchange, as the operating system offers them (civ/posix/LineWait.cpp,
// civ/win32/LineWait.cpp).
//
// On Linux both lower the calling thread's timer slack to 1 ns for the length of the wait and
// restore it afterwards: by default the kernel lets a normal thread's timer fire up to 50 us late so it can
// batch wake-ups, which over the 1584 waits of a full read adds up to a visible share of its
// time. Nothing else of the thread is affected. On Windows the system timer runs at 1 ms for the
// length of a wait instead of its usual 15.6 ms.

#include "civ/PortIo.h"

#include <chrono>
#include <cstdint>

namespace memvane::linewait {

using Clock = std::chrono::steady_clock;

// Sleeps until `deadline` (an absolute time, so a late start of the sleep does not make it
// longer). Returns at once when the deadline has passed.
void sleepUntil(Clock::time_point deadline);

// Blocks until the port's system handle (TCustomComPort::Handle()) has bytes to read (Arrived)
// or `deadline` passes (TimedOut; also when bytes came in just as it passed). A line that hung up or
// failed has nothing more to offer: the wait sleeps to the deadline and says TimedOut, so the
// caller reads (and meets the error) at the same moment as after the fixed wait.
InputWait waitReadable(std::intptr_t handle, Clock::time_point deadline);

} // namespace memvane::linewait
