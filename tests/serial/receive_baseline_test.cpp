// When the POSIX device reports bytes as arrived: only a queue grown beyond what was reported,
// less what was read since; a purge of the receive queue starts afresh.

#include "serial/posix/ReceiveBaseline.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace memvane::posix {
namespace {

TEST(ReceiveBaseline, ReportsOnlyNewBytes)
{
    enum Step { Queued, Read, Purge };
    struct Row
    {
        const char* what;
        Step step;
        std::uint32_t n; // the queued count, or the bytes read
        bool arrival;    // for Queued: reported as new
        std::uint32_t reported;
    };
    // One device through every row, in order.
    const Row rows[] = {
        {"empty queue", Queued, 0, false, 0},
        {"first bytes", Queued, 3, true, 3},
        {"another wake-up for the same bytes", Queued, 3, false, 3},
        {"more bytes", Queued, 5, true, 5},
        {"part of them read", Read, 2, false, 3},
        {"the rest still queued", Queued, 3, false, 3},
        {"one more byte", Queued, 4, true, 4},
        {"a read takes bytes not reported yet", Read, 9, false, 0},
        {"what came after that read", Queued, 1, true, 1},
        {"input purged", Purge, 0, false, 0},
        {"the same count after the purge", Queued, 1, true, 1},
    };
    ReceiveBaseline baseline;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        if (r.step == Queued)
            EXPECT_EQ(baseline.newArrival(r.n), r.arrival);
        else if (r.step == Read)
            baseline.consumed(r.n);
        else
            baseline.purged();
        EXPECT_EQ(baseline.reported(), r.reported);
    }
}

} // namespace
} // namespace memvane::posix
