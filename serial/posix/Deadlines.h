#pragma once
// Deadlines of the device's waits: steady-clock time points, optional where a wait may last
// for ever, turned into the millisecond timeouts poll() and epoll_wait() take.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>

namespace memvane::posix {

using Clock = std::chrono::steady_clock;

// Milliseconds until `deadline` for poll(): -1 without a deadline, 0 once it has passed.
inline int msUntil(const std::optional<Clock::time_point>& deadline)
{
    if (!deadline)
        return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return static_cast<int>(std::min<long long>(left, 0x7FFFFFFF));
}

inline std::optional<Clock::time_point> earlier(std::optional<Clock::time_point> a,
                                                std::optional<Clock::time_point> b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}

// The end of a transfer of `size` bytes bounded by multiplier x size + constant milliseconds
// (capped far beyond any real wait, so the sum cannot overflow the clock).
inline Clock::time_point totalDeadline(Clock::time_point start, std::uint32_t multiplier, int size,
                                       std::uint32_t constant)
{
    std::uint64_t ms = std::uint64_t(multiplier) * std::uint64_t(size) + constant;
    return start + std::chrono::milliseconds(std::min<std::uint64_t>(ms, 1ull << 40));
}

} // namespace memvane::posix
