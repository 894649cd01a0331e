// The exchange and the transceive monitor through the program's serial component against the
// simulated radio on a pseudo-terminal.
#include "civ/ComPortIo.h"
#include "civ/Exchange.h"
#include "core/Errors.h"
#include "tests/civ/PtyLine.h"
#include "tests/civ/ScriptedPort.h"
#include "tests/support/FakeUi.h"
#include "tests/support/RadioWait.h"

#include <gtest/gtest.h>

using namespace memvane;
using namespace memvane::test;

namespace {

struct ExchangePty : ::testing::Test
{
    PtyLine line{0}; // the radio answers as soon as it is scheduled
    ProgramState state;
    FakeUi ui;

    void SetUp() override
    {
        state.fillNameTables();
        waitAsABusyMachineNeeds(state);
        state.memloc = "Mem 7";
        ui.label = "Reading Memory Location 7";
    }
    // For the tests of a missing answer: the fixed wait, short, as nothing is waited for.
    void shortFixedWait()
    {
        state.fastExchange = false;
        state.civdelay = 30;
    }
    std::string exchange(const std::string& frameHex, const std::string& look1)
    {
        return ccomportwrite(fromHex(frameHex), look1, line.io, state, ui).data;
    }
    void expectNoReplyLines(const std::string& frameHex)
    {
        EXPECT_EQ(ui.errorLines,
                  (std::vector<std::string>{
                      "Mem 7 Command sent to radio was " + frameHex,
                      "Mem 7 No return from Radio!! - Check ComPort and CI-V settings.", ""}));
        EXPECT_TRUE(ui.errorsEnabled);
        EXPECT_EQ(ui.label, "Reading Memory Location 7");
    }
};

} // namespace

TEST_F(ExchangePty, DataReplyAndAcknowledgement)
{
    line.radio.tune(145'500'000);
    EXPECT_EQ(exchange("FEFE58E003FD", "FEFEE05803"), "0000504501");
    EXPECT_EQ(exchange("FEFE58E0050000100700FD", "FEFEE058FB"), "");
    EXPECT_EQ(exchange("FEFE58E003FD", "FEFEE05803"), "0000100700");
    EXPECT_EQ(line.radio.frameLog(),
              (std::vector<std::string>{"FEFE58E003FD", "FEFE58E0050000100700FD", "FEFE58E003FD"}));
    EXPECT_EQ(state.errcount, 0);
    EXPECT_TRUE(ui.errorLines.empty());
}

TEST_F(ExchangePty, RefusedReplyIsLoggedAndTheOperationGoesOn)
{
    line.radio.refuse({std::string(1, '\x0A'), 0, 1});
    EXPECT_EQ(exchange("FEFE58E00AFD", "FEFEE058FB"), "");
    EXPECT_EQ(ui.errorLines,
              (std::vector<std::string>{
                  "Mem 7 Command sent to radio was FEFE58E00AFD",
                  "Mem 7 Incorrect return from Radio!! - Expected FEFEE058FB but got FEFEE058FA "
                  "Command failed.",
                  ""}));
    EXPECT_EQ(ui.label, "");
    EXPECT_EQ(state.errcount, 1);
    // The next command is answered normally.
    EXPECT_EQ(exchange("FEFE58E008FD", "FEFEE058FB"), "");
    EXPECT_EQ(state.errcount, 1);
}

TEST_F(ExchangePty, AnyAnswerTakesTheRefusal)
{
    line.radio.withModel([](sim::RadioModel& m) { m.setMemory(12, sim::Memory{}); }); // a blank one says NG
    line.radio.refuse({fromHex("080012"), 0, 1});
    EXPECT_EQ(exchange("FEFE58E0080012FD", "FEFEE058"), "FA");
    EXPECT_EQ(exchange("FEFE58E0080012FD", "FEFEE058"), "FB");
    EXPECT_TRUE(ui.errorLines.empty());
}

TEST_F(ExchangePty, SilentRadioLeavesOnlyTheEchoAndAborts)
{
    shortFixedWait();
    line.radio.setSilent(true);
    bool afterCall = false;
    try {
        exchange("FEFE58E008FD", "FEFEE058FB");
        afterCall = true;
    } catch (const EAbort&) {
    }
    EXPECT_FALSE(afterCall);
    expectNoReplyLines("FEFE58E008FD");
    EXPECT_EQ(state.errcount, 1);
}

TEST_F(ExchangePty, LateReplyIsNoReplyAndWaitsForTheMonitor)
{
    shortFixedWait();
    line.radio.tune(7'100'000);
    line.radio.setLateMs(state.civdelay + 200);
    EXPECT_THROW(exchange("FEFE58E003FD", "FEFEE05803"), EAbort);
    expectNoReplyLines("FEFE58E003FD");

    // The late reply lands in the receive queue; the monitor reads it, decodes nothing from it.
    state.rxfreq = "0014.195000";
    std::string memo;
    line.port.OnRxChar = [&](TCustomComPort* sender, int) {
        memo = monitorTransceive(*sender, state);
    };
    ASSERT_TRUE(line.serviceUntil([&] { return !memo.empty(); }));
    EXPECT_EQ(memo, "0014.195000\r\n  ");
    EXPECT_EQ(line.port.InputCount(), 0);
}

TEST_F(ExchangePty, GarbageBeforeTheReplyDoesNoHarm)
{
    line.radio.setGarbage(true);
    line.radio.tune(430'100'000);
    EXPECT_EQ(exchange("FEFE58E003FD", "FEFEE05803"), "0000103004");
}

TEST_F(ExchangePty, AddressFourEIsNotAnsweredByARadioAtFiftyEight)
{
    shortFixedWait();
    state.civhex = "4E";
    EXPECT_THROW(exchange("FEFE4EE008FD", "FEFEE04EFB"), EAbort);
    expectNoReplyLines("FEFE4EE008FD");
}

TEST_F(ExchangePty, WithTheRealDelay)
{
    state.civdelay = 45;
    state.fastExchange = false;
    line.radio.setDelayMs(5);
    line.radio.tune(145'500'000);
    line.radio.withModel([](sim::RadioModel& m) { m.setMemory(99, sim::Memory{}); });
    try {
        EXPECT_EQ(exchange("FEFE58E003FD", "FEFEE05803"), "0000504501");
        EXPECT_EQ(exchange("FEFE58E0080099FD", "FEFEE058"), "FB");
    } catch (const EAbort&) {
        FAIL() << ::testing::PrintToString(ui.errorLines) << line.busyMachineNote(45);
    }
}

TEST_F(ExchangePty, HungUpLineIsAnErrorNotAHang)
{
    shortFixedWait();
    line.radio.hangUp();
    try {
        exchange("FEFE58E008FD", "FEFEE058FB");
        FAIL() << "an exchange on a hung-up line cannot succeed";
    } catch (const EAbort&) {
        expectNoReplyLines("FEFE58E008FD"); // the write went nowhere, nothing came back
    } catch (const AppError& e) {
        EXPECT_EQ(e.message().rfind("COM Port Error: ", 0), 0u) << e.message();
    }
}

TEST_F(ExchangePty, MonitorDecodesBroadcastsWhileIdle)
{
    std::string memo;
    int calls = 0;
    line.port.OnRxChar = [&](TCustomComPort* sender, int) {
        memo = monitorTransceive(*sender, state);
        ++calls;
    };
    line.radio.setTransceive(true);
    line.radio.tune(145'500'000);
    ASSERT_TRUE(line.serviceUntil([&] { return memo.rfind("0145.500000", 0) == 0; })) << memo;
    line.radio.selectMode(0x05, 0x02);
    ASSERT_TRUE(line.serviceUntil([&] { return memo == "0145.500000\r\nFM  Narrow"; })) << memo;
    EXPECT_EQ(state.rxmode, "FM");
    EXPECT_EQ(state.rxfilter, "Narrow");

    // A broadcast of a radio at 4E is read and dropped.
    int before = calls;
    line.radio.send(fromHex("FEFE004E000000100700FD"));
    ASSERT_TRUE(line.serviceUntil([&] { return calls > before; }));
    EXPECT_EQ(memo, "0145.500000\r\nFM  Narrow");
    EXPECT_EQ(line.port.InputCount(), 0);
}

// The fast exchange through TComPort: the same results and error lines as the fixed wait, and
// it takes every byte up to the reply's end mark, so the received-data handler finds nothing of
// the exchange's bytes left.
TEST_F(ExchangePty, FastExchangeGivesTheFixedWaitsResults)
{
    state.civdelay = 45;
    state.fastExchange = true;
    line.radio.setDelayMs(5); // echo first, the reply 5 ms later
    line.radio.tune(145'500'000);
    line.radio.refuse({std::string(1, '\x0A'), 0, 1});
    line.radio.withModel([](sim::RadioModel& m) { m.setMemory(99, sim::Memory{}); });
    try {
        EXPECT_EQ(exchange("FEFE58E003FD", "FEFEE05803"), "0000504501");
        EXPECT_EQ(line.port.InputCount(), 0);
        EXPECT_EQ(exchange("FEFE58E0080099FD", "FEFEE058"), "FB");
        EXPECT_EQ(exchange("FEFE58E00AFD", "FEFEE058FB"), "");
    } catch (const EAbort&) {
        FAIL() << ::testing::PrintToString(ui.errorLines) << line.busyMachineNote(45);
    }
    EXPECT_EQ(line.port.InputCount(), 0);
    EXPECT_EQ(ui.errorLines,
              (std::vector<std::string>{
                  "Mem 7 Command sent to radio was FEFE58E00AFD",
                  "Mem 7 Incorrect return from Radio!! - Expected FEFEE058FB but got FEFEE058FA "
                  "Command failed.",
                  ""}));
    EXPECT_EQ(line.radio.frameLog(),
              (std::vector<std::string>{"FEFE58E003FD", "FEFE58E0080099FD", "FEFE58E00AFD"}));

    // A reply after civdelay, and no reply at all: the failure of the fixed wait.
    ui = FakeUi{};
    ui.label = "Reading Memory Location 7";
    line.radio.setLateMs(state.civdelay + 200);
    EXPECT_THROW(exchange("FEFE58E003FD", "FEFEE05803"), EAbort);
    expectNoReplyLines("FEFE58E003FD");
    ui = FakeUi{};
    ui.label = "Reading Memory Location 7";
    line.radio.setLateMs(0);
    line.radio.setSilent(true);
    EXPECT_THROW(exchange("FEFE58E008FD", "FEFEE058FB"), EAbort);
    expectNoReplyLines("FEFE58E008FD");
}
