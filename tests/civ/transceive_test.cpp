#include "civ/Transceive.h"
#include "core/Errors.h"
#include "tests/civ/ScriptedPort.h"

#include <gtest/gtest.h>

#include <deque>

using namespace memvane;
using namespace memvane::test;

namespace {

// The receive queue as ReadStr(.., 1) sees it. `arrivals` are chunks that land in the queue
// after the reader found it empty, one chunk per empty read (bytes still on the wire).
struct Line
{
    std::string queue;
    std::deque<std::string> arrivals;
    int reads = 0, sleeps = 0, sleptMs = 0;

    std::string readOne()
    {
        ++reads;
        if (queue.empty() && !arrivals.empty()) {
            queue = arrivals.front();
            arrivals.pop_front();
            return {};
        }
        if (queue.empty())
            return {};
        std::string b = queue.substr(0, 1);
        queue.erase(0, 1);
        return b;
    }
};

struct TransceiveTest : ::testing::Test
{
    ProgramState state;
    Line line;

    void SetUp() override { state.fillNameTables(); }
    std::string monitor()
    {
        return ComPort1RxCharLogic(
            state, [this] { return line.readOne(); },
            [this](int ms) {
                ++line.sleeps;
                line.sleptMs += ms;
            });
    }
};

} // namespace

TEST_F(TransceiveTest, FrequencyBroadcastGoesToTheFirstLine)
{
    line.queue = fromHex("FEFE0058000000504501FD");
    EXPECT_EQ(monitor(), "0145.500000\r\n  ");
    EXPECT_EQ(state.rxfreq, "0145.500000");
    EXPECT_TRUE(line.queue.empty());
}

TEST_F(TransceiveTest, ModeBroadcastGivesModeAndFilterNames)
{
    state.rxfreq = "0014.195000";
    line.queue = fromHex("FEFE0058010502FD");
    EXPECT_EQ(monitor(), "0014.195000\r\nFM  Narrow");
    EXPECT_EQ(state.rxmode, "FM");
    EXPECT_EQ(state.rxfilter, "Narrow");
}

TEST_F(TransceiveTest, FrequencyBroadcastWithoutEndMarkLeavesAFullStop)
{
    line.queue = fromHex("FEFE00580000005045");
    monitor();
    EXPECT_EQ(state.rxfreq, ".");
}

TEST_F(TransceiveTest, FirstOfTwoBroadcastsWins)
{
    line.queue = fromHex("FEFE0058000000504501FD"
                         "FEFE0058000000100700FD"
                         "FEFE0058010301FD"
                         "FEFE0058010502FD");
    EXPECT_EQ(monitor(), "0145.500000\r\nCW  Normal");
}

TEST_F(TransceiveTest, BytesWithoutBroadcastAreDroppedAndTheValuesKept)
{
    state.rxfreq = "0007.100000";
    state.rxmode = "LSB";
    state.rxfilter = "Wide";
    // A late reply to our own command, then a broadcast of a radio at 4E.
    line.queue = fromHex("FEFEE058030000504501FD"
                         "FEFE004E000000504501FD"
                         "FEFE004E010502FD");
    EXPECT_EQ(monitor(), "0007.100000\r\nLSB  Wide");
    EXPECT_TRUE(line.queue.empty());
}

TEST_F(TransceiveTest, MalformedOrOutOfTableModeFieldsKeepThePreviousNames)
{
    struct Case
    {
        const char* hex;
        const char* mode;
        const char* filter;
    };
    const Case cases[] = {
        {"FEFE00580105", "USB", "Wide"},     // cut short: no end mark, no data
        {"FEFE0058010AFD", "USB", "Wide"},   // mode with a letter, filter missing
        {"FEFE005801090AFD", "USB", "Wide"}, // mode 9 and a filter with a letter
        {"FEFE0058010500FD", "FM", "Wide"},  // filter 0 is not in the table
        {"FEFE0058010208FD", "AM", "Wide"},  // filter 8 neither
        {"FEFE00580105FD", "FM", "Wide"},    // filter field missing
        {"FEFE0058010702FD", "", "Narrow"},  // slot 7 is in the table but has no name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        state.rxmode = "USB";
        state.rxfilter = "Wide";
        line.queue = fromHex(c.hex);
        EXPECT_NO_THROW(monitor());
        EXPECT_EQ(state.rxmode, c.mode);
        EXPECT_EQ(state.rxfilter, c.filter);
    }
}

TEST_F(TransceiveTest, SecondPassPicksUpTheRestOfABroadcast)
{
    line.queue = fromHex("FEFE00580000");
    line.arrivals = {fromHex("00504501FD")};
    monitor();
    EXPECT_EQ(state.rxfreq, "0145.500000");
}

TEST_F(TransceiveTest, SleepsAMillisecondAfterEveryReadAttempt)
{
    line.queue = fromHex("FEFE0058010502FD");
    monitor();
    // Eight bytes plus one empty read in each of the two passes.
    EXPECT_EQ(line.reads, 10);
    EXPECT_EQ(line.sleeps, line.reads);
    EXPECT_EQ(line.sleptMs, line.reads);
}

TEST_F(TransceiveTest, ALineThatNeverFallsSilentDoesNotHoldTheHandler)
{
    int reads = 0;
    std::string memo = ComPort1RxCharLogic(
        state, [&] { return ++reads, std::string(1, '\x55'); }, [](int) {});
    EXPECT_EQ(reads, 2 * TransceiveMaxBytesPerPass);
    EXPECT_EQ(memo, "\r\n  ");
}

TEST_F(TransceiveTest, AFailingReadEndsTheDrainAndWhatCameIsDecoded)
{
    std::string bytes = fromHex("FEFE0058000000504501FD");
    size_t at = 0;
    std::string memo;
    EXPECT_NO_THROW(memo = ComPort1RxCharLogic(
                        state,
                        [&]() -> std::string {
                            if (at < bytes.size())
                                return bytes.substr(at++, 1);
                            throw AppError("COM Port Error: ReadFile function failed");
                        },
                        [](int) {}));
    EXPECT_EQ(memo, "0145.500000\r\n  ");
}
