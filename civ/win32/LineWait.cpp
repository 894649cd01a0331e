// Windows: the line's event wait belongs to the port's event thread, so the fast exchange looks
// at the receive queue (ClearCommError) once per millisecond instead; with the timer at 1 ms
// that costs next to nothing and sees a reply within a millisecond of its arrival.
#include "civ/LineWait.h"

#include <windows.h>
#include <timeapi.h>

namespace memvane::linewait {

namespace {

// The system timer at 1 ms while it lives (the default 15.6 ms would stretch every 45 ms wait).
class FineTimer
{
public:
    FineTimer() : m_ok(timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~FineTimer()
    {
        if (m_ok)
            timeEndPeriod(1);
    }
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;

private:
    bool m_ok;
};

void sleepUntilFine(Clock::time_point deadline)
{
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return;
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        Sleep(static_cast<DWORD>(ms > 0 ? ms : 0));
    }
}

} // namespace

void sleepUntil(Clock::time_point deadline)
{
    FineTimer timer;
    sleepUntilFine(deadline);
}

InputWait waitReadable(std::intptr_t handle, Clock::time_point deadline)
{
    FineTimer timer;
    HANDLE h = reinterpret_cast<HANDLE>(handle);
    for (;;) {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(h, &errors, &stat)) {
            // Hung up, failed, or not a port any more: no byte will come.
            sleepUntilFine(deadline);
            return InputWait::TimedOut;
        }
        const Clock::time_point now = Clock::now();
        if (stat.cbInQue > 0)
            return now >= deadline ? InputWait::TimedOut : InputWait::Arrived;
        if (now >= deadline)
            return InputWait::TimedOut;
        Sleep(1);
    }
}

} // namespace memvane::linewait
