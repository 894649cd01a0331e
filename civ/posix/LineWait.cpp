#include "civ/LineWait.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/prctl.h>

namespace memvane::linewait {

namespace {

// The thread's timer slack at 1 ns while it lives.
class FineTimerSlack
{
public:
    FineTimerSlack() : m_old(::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0))
    {
        if (m_old > 1)
            ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    }
    ~FineTimerSlack()
    {
        if (m_old > 1)
            ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(m_old), 0, 0, 0);
    }
    FineTimerSlack(const FineTimerSlack&) = delete;
    FineTimerSlack& operator=(const FineTimerSlack&) = delete;

private:
    long m_old;
};

timespec toTimespec(Clock::duration d)
{
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    if (ns < 0)
        ns = 0;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return ts;
}

// steady_clock is CLOCK_MONOTONIC with glibc, so its readings are absolute times for
// clock_nanosleep.
void sleepUntilFine(Clock::time_point deadline)
{
    const timespec ts = toTimespec(deadline.time_since_epoch());
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

} // namespace

void sleepUntil(Clock::time_point deadline)
{
    FineTimerSlack slack;
    sleepUntilFine(deadline);
}

InputWait waitReadable(std::intptr_t handle, Clock::time_point deadline)
{
    const int fd = static_cast<int>(handle);
    FineTimerSlack slack;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return InputWait::TimedOut;
        pollfd p{fd, POLLIN, 0};
        const timespec left = toTimespec(deadline - now);
        int n = ::ppoll(&p, 1, &left, nullptr);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            return InputWait::TimedOut;
        if (n > 0 && (p.revents & POLLIN))
            return Clock::now() >= deadline ? InputWait::TimedOut : InputWait::Arrived;
        // Hung up, failed, or not a descriptor any more: no byte will come.
        sleepUntilFine(deadline);
        return InputWait::TimedOut;
    }
}

} // namespace memvane::linewait
