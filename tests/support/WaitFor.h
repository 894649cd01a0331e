#pragma once
// Waiting for another thread to make a condition true, with a deadline a busy machine cannot
// reach. The main thread's events are not serviced meanwhile, so this also serves to check that
// something has been handed to the main thread but has not run yet.

#include <chrono>
#include <thread>

namespace memvane::test {

template <class F>
bool waitFor(F condition, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace memvane::test
