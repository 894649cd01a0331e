#include "civ/Exchange.h"
#include "core/Errors.h"
#include "tests/civ/ScriptedPort.h"
#include "tests/support/FakeUi.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace memvane;
using namespace memvane::test;

namespace {

const std::string ReadFreq = fromHex("FEFE58E003FD");
const std::string MemoryMode = fromHex("FEFE58E008FD");

struct ExchangeTest : ::testing::Test
{
    ScriptedPort port;
    ProgramState state;
    FakeUi ui;

    void SetUp() override
    {
        state.fillNameTables();
        state.memloc = "Mem 12";
        ui.label = "Reading Memory Location 12";
    }
    void answer(const std::string& hex)
    {
        port.respond = [hex](auto&) { return Reply{fromHex(hex), ""}; };
    }
    std::string exchange(const std::string& word, const std::string& look1)
    {
        return ccomportwrite(word, look1, port, state, ui).data;
    }
};

} // namespace

TEST_F(ExchangeTest, DataReplyGivesTheBytesAfterTheExpectedTextAndLogsNothing)
{
    answer("FEFEE058030000504501FD");
    EXPECT_EQ(exchange(ReadFreq, "FEFEE05803"), "0000504501");
    EXPECT_EQ(port.calls, (std::vector<std::string>{"open", "clear", "write FEFE58E003FD",
                                                    "sleep 45", "read 200"}));
    EXPECT_EQ(state.errcount, 0);
    EXPECT_TRUE(ui.errorLines.empty());
    EXPECT_FALSE(ui.errorsEnabled);
    EXPECT_EQ(ui.label, "Reading Memory Location 12");
}

TEST_F(ExchangeTest, AcknowledgementAndAnyAnswerResults)
{
    answer("FEFEE058FBFD");
    EXPECT_EQ(exchange(MemoryMode, "FEFEE058FB"), "");
    // With the address alone expected, a refusal is an answer like any other.
    answer("FEFEE058FAFD");
    EXPECT_EQ(exchange(fromHex("FEFE58E0080012FD"), "FEFEE058"), "FA");
    answer("FEFEE058FBFD");
    EXPECT_EQ(exchange(fromHex("FEFE58E0080012FD"), "FEFEE058"), "FB");
    EXPECT_EQ(state.errcount, 0);
    EXPECT_TRUE(ui.errorLines.empty());
}

TEST_F(ExchangeTest, ExpectedTextWithoutItsEndMarkIsSuccessWithNoData)
{
    answer("FEFEE05803000050");
    EXPECT_EQ(exchange(ReadFreq, "FEFEE05803"), "");
    EXPECT_EQ(state.errcount, 0);
    EXPECT_TRUE(ui.errorLines.empty());
}

TEST_F(ExchangeTest, RefusedReplyIsLoggedAndTheCallerGoesOn)
{
    state.errcount = 2;
    answer("FEFEE058FAFD");
    EXPECT_EQ(exchange(MemoryMode, "FEFEE058FB"), "");
    EXPECT_EQ(state.errcount, 3);
    EXPECT_EQ(ui.errorLines,
              (std::vector<std::string>{
                  "Mem 12 Command sent to radio was FEFE58E008FD",
                  "Mem 12 Incorrect return from Radio!! - Expected FEFEE058FB but got FEFEE058FA "
                  "Command failed.",
                  ""}));
    EXPECT_TRUE(ui.errorsEnabled);
    EXPECT_EQ(ui.label, "");
}

// Callers tell a refusal from an acknowledgement without data by the outcome alone.
TEST_F(ExchangeTest, OutcomeTellsARefusalFromAnAnswerWithoutData)
{
    answer("FEFEE058FBFD");
    EXPECT_FALSE(ccomportwrite(MemoryMode, "FEFEE058FB", port, state, ui).refused);
    answer("FEFEE058FAFD");
    ExchangeOutcome refused = ccomportwrite(MemoryMode, "FEFEE058FB", port, state, ui);
    EXPECT_TRUE(refused.refused);
    EXPECT_EQ(refused.data, "");
    EXPECT_FALSE(ccomportwrite(MemoryMode, "FEFEE058", port, state, ui).refused)
        << "with the address alone expected, NG is an answer";
}

TEST_F(ExchangeTest, NoUsableReplyLogsAndAbortsSilently)
{
    struct Case
    {
        const char* name;
        bool echo;
        std::string now, late;
    };
    const Case cases[] = {
        {"silence", false, "", ""},
        {"echo only", true, "", ""},
        {"late reply", true, "", fromHex("FEFEE05803000050450100FD")},
        {"refusal without its end mark", true, fromHex("FEFEE058FA"), ""},
        {"unrelated bytes", true, fromHex("FEFE00580000005045FD"), ""},
        {"reply of another radio", true, fromHex("FEFEE04E030000504501FD"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui = FakeUi{};
        ui.label = "Reading Memory Location 12";
        state.errcount = 0;
        port.echo = c.echo;
        port.respond = [&](auto&) { return Reply{c.now, c.late}; };
        bool afterCall = false;
        try {
            exchange(ReadFreq, "FEFEE05803");
            afterCall = true;
        } catch (const EAbort&) {
        }
        EXPECT_FALSE(afterCall);
        EXPECT_EQ(state.errcount, 1);
        EXPECT_EQ(ui.errorLines,
                  (std::vector<std::string>{
                      "Mem 12 Command sent to radio was FEFE58E003FD",
                      "Mem 12 No return from Radio!! - Check ComPort and CI-V settings.", ""}));
        EXPECT_TRUE(ui.errorsEnabled);
        EXPECT_EQ(ui.label, "Reading Memory Location 12");
        EXPECT_EQ(port.queue, c.late); // late bytes wait for the monitor or the next purge
    }
}

TEST_F(ExchangeTest, AddressFourEAgainstARadioAtFiftyEight)
{
    state.civhex = "4E";
    state.memloc = "";
    answer("FEFEE058FBFD");
    EXPECT_THROW(exchange(fromHex("FEFE4EE008FD"), "FEFEE04EFB"), EAbort);
    EXPECT_EQ(ui.errorLines[0], " Command sent to radio was FEFE4EE008FD");
    EXPECT_EQ(ui.errorLines[1], " No return from Radio!! - Check ComPort and CI-V settings.");
    // A refusal from the radio at 58 is not a refusal for 4E either.
    answer("FEFEE058FAFD");
    EXPECT_THROW(exchange(fromHex("FEFE4EE008FD"), "FEFEE04EFB"), EAbort);
}

TEST_F(ExchangeTest, OnlyTheFirstTwoHundredBytesAreExamined)
{
    port.echo = false;
    std::string noise(200, '\x11');
    port.respond = [&](auto&) { return Reply{noise + fromHex("FEFEE058FBFD"), ""}; };
    EXPECT_THROW(exchange(MemoryMode, "FEFEE058FB"), EAbort);
    port.respond = [&](auto&) { return Reply{noise.substr(6) + fromHex("FEFEE058FBFD"), ""}; };
    EXPECT_NO_THROW(exchange(MemoryMode, "FEFEE058FB"));
}

TEST_F(ExchangeTest, TheBufferIsPurgedBeforeEachCommand)
{
    port.queue = fromHex("FEFEE058FBFD"); // a stale acknowledgement must not count
    EXPECT_THROW(exchange(MemoryMode, "FEFEE058FB"), EAbort);
}

TEST_F(ExchangeTest, PortErrorsPassThroughWithoutLogging)
{
    port.onOpen = [] { throw AppError("COM Port Error: Unable to open com port"); };
    try {
        exchange(MemoryMode, "FEFEE058FB");
        FAIL();
    } catch (const EAbort&) {
        FAIL() << "a port error is not a silent abort";
    } catch (const AppError& e) {
        EXPECT_EQ(e.message(), "COM Port Error: Unable to open com port");
    }
    EXPECT_TRUE(port.frames.empty());
    EXPECT_EQ(state.errcount, 0);
    EXPECT_TRUE(ui.errorLines.empty());
}

TEST_F(ExchangeTest, RunCommandBuildsFrameAndExpectationFromTheState)
{
    state.civaddr = "$48";
    state.civhex = "48";
    answer("FEFEE0480C006000FD");
    EXPECT_EQ(runCommand(std::string(1, '\x0C'), "0C", port, state, ui).data, "006000");
    EXPECT_EQ(port.frames, (std::vector<std::string>{"FEFE48E00CFD"}));
}

// The fast exchange reads as bytes come in and stops at the settled reply; whatever the radio
// sends within civdelay, its outcome is the fixed wait's.
TEST_F(ExchangeTest, FastExchangeEndsLikeTheFixedWait)
{
    const std::string echo = fromHex("FEFE58E003FD");
    const std::string data = fromHex("FEFEE058030000504501FD");
    const std::string refusal = fromHex("FEFEE058FAFD");
    const std::string broadcast = fromHex("FEFE0058000000100700FD");
    struct Case
    {
        const char* name;
        bool echo;
        Reply reply;
        bool waitsToDeadline; // the fast exchange cannot stop before civdelay
        std::string leftUnread = {};
    };
    const Case cases[] = {
        {"reply in pieces", true,
         Reply{"", "", {fromHex("FEFEE058"), fromHex("0300005045"), fromHex("01FD")}}, false},
        {"echo in pieces", false,
         Reply{"", "", {echo.substr(0, 3), echo.substr(3) + data.substr(0, 5), data.substr(5)}},
         false},
        {"broadcast right after the reply", true, Reply{"", "", {data, broadcast}}, false,
         broadcast},
        {"broadcast in the same arrival", true, Reply{data + broadcast, ""}, false},
        {"broadcast before the reply", true, Reply{"", "", {broadcast, data}}, false},
        {"refused", true, Reply{"", "", {refusal}}, false},
        {"refusal, its end mark later", true, Reply{"", "", {refusal.substr(0, 5), "\xFD"}}, false},
        {"late reply", true, Reply{"", data}, true, data},
        {"silence", false, Reply{}, true},
        {"echo only", true, Reply{}, true},
        {"expected text, end mark never comes", true, Reply{"", "", {data.substr(0, 8)}}, true},
        {"refusal without its end mark", true, Reply{"", "", {refusal.substr(0, 5)}}, true},
        {"noise past the byte limit", false,
         Reply{"", "", {std::string(150, '\x11'), std::string(150, '\x11'), data}}, false,
         std::string(100, '\x11') + data},
    };
    struct Outcome
    {
        std::string result; // "abort" for the silent abort
        int errcount;
        std::vector<std::string> errorLines;
        std::string label;
        bool operator==(const Outcome&) const = default;
    };
    auto run = [&](const Case& c, bool fast) {
        port = ScriptedPort{};
        port.echo = c.echo;
        port.respond = [&](auto&) { return c.reply; };
        state.errcount = 0;
        state.fastExchange = fast;
        ui = FakeUi{};
        ui.label = "Reading Memory Location 12";
        Outcome o;
        try {
            o.result = exchange(ReadFreq, "FEFEE05803");
        } catch (const EAbort&) {
            o.result = "abort";
        }
        o.errcount = state.errcount;
        o.errorLines = ui.errorLines;
        o.label = ui.label;
        return o;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome fixed = run(c, false);
        Outcome fast = run(c, true);
        EXPECT_EQ(fast, fixed) << "fixed: " << fixed.result << ", fast: " << fast.result;
        const auto& calls = port.calls;
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "wait: deadline"), c.waitsToDeadline);
        EXPECT_EQ(toHexText(port.unread()), toHexText(c.leftUnread));
    }
}

TEST_F(ExchangeTest, FastExchangeOnALineThatCannotWaitTakesTheFixedWait)
{
    state.fastExchange = true;
    port.canWait = false;
    answer("FEFEE058030000504501FD");
    EXPECT_EQ(exchange(ReadFreq, "FEFEE05803"), "0000504501");
    EXPECT_EQ(port.calls, (std::vector<std::string>{"open", "clear", "write FEFE58E003FD", "wait",
                                                    "sleep 45", "read 200"}));
}
