#include "channels/ChannelReader.h"
#include "channels/ChannelWriter.h"
#include "core/Errors.h"
#include "tests/channels/RadioFixture.h"
#include "tests/channels/Sequences.h"

#include <gtest/gtest.h>

#include <functional>

using namespace memvane;
using namespace memvane::test;

namespace {

ChannelRow row(bool write, const std::string& label, const std::string& a = "145.500000",
               const std::string& b = "145.500000", const std::string& mode = "FM",
               const std::string& filter = "Normal", const std::string& split = "Duplex Off")
{
    return {write, {label, a, b, mode, filter, split, "comment", "00.6000"}};
}

struct WriterTest : RadioFixture
{
    void SetUp() override
    {
        RadioFixture::SetUp();
        state.memloc = "Mem 99";
    }
};

} // namespace

TEST_F(WriterTest, OneRowIsTheTwentyFourExchangeScript)
{
    list.append(row(true, "Mem 12", "145.500000", "145.000000", "Wide FM", "Narrow", "Split On"));
    writeTickedChannels(ctx);
    EXPECT_EQ(port.frames, writeFrames("0012", "0000504501", "0000004501", "0602", "01"));
    EXPECT_EQ(ui.label, "1 Memory Locations Writen ");
    EXPECT_EQ(ui.hideEditPanelCalls, 1);
    EXPECT_EQ(port.calls.front(), "open");
    EXPECT_TRUE(list.row(0).write);
    EXPECT_EQ(state.memloc, "Mem 99"); // writing does not relabel error lines
}

TEST_F(WriterTest, TickedRowsAtPositionsThreeAndSevenWithSpecialLocations)
{
    list.append(row(false, "Mem 1"));
    list.append(row(false, "Mem 2"));
    list.append(row(true, "Mem 1a", "7.05", "7.05", "LSB", "Wide", "Split Off"));
    for (int i = 4; i <= 6; ++i)
        list.append(row(false, "Mem " + std::to_string(i)));
    list.append(row(true, "Mem C2", "1296", "1290", "CW", "Normal", "Split On"));
    writeTickedChannels(ctx);

    std::vector<std::string> expected =
        writeFrames("0100", "0000050700", "0000050700", "0003", "00");
    append(expected, writeFrames("0107", "0000009612", "0000009012", "0301", "01"));
    EXPECT_EQ(port.frames, expected);
    EXPECT_EQ(ui.statusHistory, (std::vector<std::string>{"", "Writing Memory Location 3",
                                                          "Writing Memory Location 7",
                                                          "2 Memory Locations Writen "}));
    EXPECT_EQ(ui.processEventsCalls, 2);
    EXPECT_EQ(list.row(2).texts.at(0), "Mem 1a");
    EXPECT_FALSE(list.row(0).write);
    EXPECT_TRUE(list.row(6).write);
}

TEST_F(WriterTest, SplitDuplexTextsEndTheScriptWithTheirCodes)
{
    const std::pair<const char*, const char*> cases[] = {{"Duplex +", "FEFE58E00F12FD"},
                                                         {"Duplex --", "FEFE58E00F11FD"},
                                                         {"Duplex Off", "FEFE58E00F10FD"},
                                                         {"Split On", "FEFE58E00F01FD"},
                                                         {"Split Off", "FEFE58E00F00FD"}};
    for (const auto& [text, frame] : cases) {
        list.clear();
        port.frames.clear();
        list.append(row(true, "Mem 7", "145.5", "145.5", "FM", "Normal", text));
        writeTickedChannels(ctx);
        // A duplex row with equal frequencies sets the offset 0 before its code.
        bool duplex = std::string(text) == "Duplex +" || std::string(text) == "Duplex --";
        ASSERT_EQ(port.frames.size(), duplex ? 25u : 24u);
        EXPECT_EQ(port.frames[port.frames.size() - 2], frame) << text;
        if (duplex) {
            EXPECT_EQ(port.frames[22], "FEFE58E00D000000FD");
        }
    }
}

TEST_F(WriterTest, ADuplexRowSetsItsOffsetOrBecomesASplitMemory)
{
    struct Case
    {
        const char* tx; // "Freq VFO A"
        const char* rx; // "Freq VFO B"
        const char* text;
        const char* offset; // the 0D data, empty: none sent
        const char* code;
    };
    const Case cases[] = {
        {"431.050", "438.650", "Duplex --", "006007", "11"}, // 7.6 MHz down
        {"145.800", "145.200", "Duplex +", "006000", "12"},
        {"29.680", "29.580", "Duplex +", "001000", "12"},
        {"145.200", "145.800", "Duplex +", "", "01"},  // the text points the other way
        {"145.800", "145.200", "Duplex --", "", "01"}, // likewise
        {"435.000", "145.200", "Duplex +", "", "01"},  // 289.8 MHz: beyond the offset's reach
        {"145.60005", "145.0", "Duplex +", "", "01"},  // between the offset's 100 Hz steps
        {"145.6001", "145.0", "Duplex +", "016000", "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tx) + " " + c.rx + " " + c.text);
        list.clear();
        port.frames.clear();
        list.append(row(true, "Mem 7", c.tx, c.rx, "FM", "Normal", c.text));
        writeTickedChannels(ctx);
        ASSERT_GE(port.frames.size(), 24u);
        EXPECT_EQ(port.frames[port.frames.size() - 2], std::string("FEFE58E00F") + c.code + "FD");
        if (*c.offset) {
            EXPECT_EQ(port.frames[22], std::string("FEFE58E00D") + c.offset + "FD");
        } else {
            EXPECT_EQ(port.frames.size(), 24u);
        }
    }
}

TEST_F(WriterTest, EmptyListOrNothingTickedSendsNothing)
{
    writeTickedChannels(ctx);
    EXPECT_EQ(ui.label, "0 Memory Locations Writen ");
    list.append(row(false, "Mem 1"));
    writeTickedChannels(ctx);
    EXPECT_EQ(ui.label, "0 Memory Locations Writen ");
    EXPECT_TRUE(port.frames.empty());
    EXPECT_EQ(ui.hideEditPanelCalls, 2);
}

TEST_F(WriterTest, ARowThatCannotBeWrittenStopsTheWriteBeforeItsFirstExchange)
{
    struct Case
    {
        ChannelRow bad;
        const char* message;
    };
    const Case cases[] = {
        {row(true, "Mem 1C"), "'1C' is not a valid integer value"},
        {row(true, "Mem 250"),
         "'250' is not a memory location the radio can select: it must lie from 0 to 199"},
        // Numbers the location bytes carry but the radio has no memory for: it would refuse the
        // selection and the write would land in the memory selected before.
        {row(true, "Mem 0"),
         "'Mem 0' is not a memory of the radio: it has memories 1 to 99 and 1A to C2"},
        {row(true, "Mem 108"),
         "'Mem 108' is not a memory of the radio: it has memories 1 to 99 and 1A to C2"},
        {row(true, "Mem 199"),
         "'Mem 199' is not a memory of the radio: it has memories 1 to 99 and 1A to C2"},
        {row(true, "Mem 4", "abc"), "'abc' is not a valid floating point value"},
        {row(true, "Mem 4", "145.5", " "), "' ' is not a valid floating point value"},
        {row(true, "Mem 4", "-1"),
         "'-1' is not a frequency the radio can store: it must lie from 0 to 9999.999999 MHz"},
        {row(true, "Mem 4", "145.5", "10000"),
         "'10000' is not a frequency the radio can store: it must lie from 0 to 9999.999999 "
         "MHz"},
        {row(true, "Mem 4", "145.5", "145.5", "Foo"), "'Foo' is not a valid integer value"},
        {row(true, "Mem 4", "145.5", "145.5", "FM", ""), "'' is not a valid integer value"},
        {row(true, "Mem 4", "145.5", "145.5", "123"),
         "'123' is not a valid mode code: it must lie from 0 to 99"},
        {row(true, "Mem 4", "145.5", "145.5", "FM", "Normal", "Simplex"),
         "'' is not a valid integer value"},
        {{true, {"Mem 4", "145.5", "145.5", "FM"}}, "List index out of bounds (4)"},
        // A blank row from a read.
        {{true, {"Mem 4", " ", " ", " ", " ", " ", " ", " "}},
         "' ' is not a valid floating point value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        list.clear();
        port.frames.clear();
        ui = FakeUi{};
        list.append(row(true, "Mem 1"));
        list.append(c.bad);
        list.append(row(true, "Mem 3"));
        try {
            writeTickedChannels(ctx);
            FAIL();
        } catch (const AppError& e) {
            EXPECT_EQ(e.message(), c.message);
        }
        // The row before it is written, nothing of the bad row or after it.
        EXPECT_EQ(port.frames, writeFrames("0001", "0000504501", "0000504501", "0501", "10"));
        EXPECT_EQ(ui.label, "Writing Memory Location 2");
        EXPECT_FALSE(state.busy);
    }
}

TEST_F(WriterTest, StopDuringRowThreeLetsItFinishAndEndsAtRowSeven)
{
    for (int i = 1; i <= 7; ++i)
        list.append(row(i == 3 || i == 7, "Mem " + std::to_string(i)));
    state.stopread = true; // an old click does not count
    ui.onProcessEvents = [&](int) { requestStop(state); };
    writeTickedChannels(ctx);
    EXPECT_EQ(port.frames, writeFrames("0003", "0000504501", "0000504501", "0501", "10"));
    EXPECT_EQ(ui.statusHistory, (std::vector<std::string>{"", "Writing Memory Location 3",
                                                          "Writing Memory Location 7",
                                                          "1 Memory Locations Writen "}));
    EXPECT_FALSE(state.busy);
}

TEST_F(WriterTest, RowsThatVanishEndTheWriteCleanly)
{
    for (int i = 1; i <= 4; ++i)
        list.append(row(true, "Mem " + std::to_string(i)));
    ui.onProcessEvents = [&](int call) {
        if (call == 2)
            list.clear();
    };
    EXPECT_NO_THROW(writeTickedChannels(ctx));
    EXPECT_EQ(port.frames.size(), 24u);
    EXPECT_EQ(ui.label, "1 Memory Locations Writen ");

    port.frames.clear();
    for (int i = 1; i <= 4; ++i)
        list.append(row(true, "Mem " + std::to_string(i)));
    ui.onProcessEvents = [&](int call) {
        if (call == 1) {
            list.clear();
            list.append(row(true, "Mem 9"));
        }
    };
    ui.processEventsCalls = 0;
    EXPECT_NO_THROW(writeTickedChannels(ctx));
    EXPECT_EQ(port.frames.size(), 24u);
    EXPECT_EQ(ui.label, "1 Memory Locations Writen ");
}

TEST_F(WriterTest, RefusedCommandGoesOnAndSilenceEndsTheWrite)
{
    list.append(row(true, "Mem 1"));
    list.append(row(true, "Mem 2"));
    radio.refuse = [](int memory, const std::string& hex) {
        return memory == 1 && hex == "FEFE58E00F10FD";
    };
    EXPECT_EQ(writeTickedChannels(ctx), 1) << "row 1 refused";
    EXPECT_EQ(port.frames.size(), 48u);
    EXPECT_EQ(ui.errorLines.size(), 9u); // exchanges 9, 17 and 23 (its own Duplex Off) of row 1
    EXPECT_EQ(ui.errorLines[0], "Mem 99 Command sent to radio was FEFE58E00F10FD");
    EXPECT_EQ(ui.label, "2 Memory Locations Writen ");

    port.frames.clear();
    ui = FakeUi{};
    radio.refuse = nullptr;
    radio.ignore = [](int memory, const std::string& hex) {
        return memory == 2 && hex == "FEFE58E00701FD";
    };
    EXPECT_THROW(writeTickedChannels(ctx), EAbort);
    EXPECT_EQ(port.frames.size(), 24u + 11);
    EXPECT_EQ(ui.label, "Writing Memory Location 2");
    EXPECT_FALSE(state.busy);
}

TEST_F(WriterTest, RefusedMemorySelectIsLoggedAndTheRowGoesOn)
{
    // A blank memory answers its selection NG and is selected all the same.
    list.append(row(true, "Mem 3"));
    list.append(row(true, "Mem 4"));
    radio.refuse = [](int, const std::string& hex) { return hex == "FEFE58E0080003FD"; };
    EXPECT_EQ(writeTickedChannels(ctx), 0) << "the selection's NG refuses nothing";
    std::vector<std::string> expected =
        writeFrames("0003", "0000504501", "0000504501", "0501", "10");
    append(expected, writeFrames("0004", "0000504501", "0000504501", "0501", "10"));
    EXPECT_EQ(port.frames, expected);
    EXPECT_EQ(ui.errorLines,
              (std::vector<std::string>{
                  "Mem 99 Command sent to radio was FEFE58E0080003FD",
                  "Mem 99 Incorrect return from Radio!! - Expected FEFEE058FB but got FEFEE058FA "
                  "Command failed.",
                  ""}));
    EXPECT_EQ(ui.label, "2 Memory Locations Writen ");
}

TEST_F(WriterTest, PortThatCannotOpenEndsBeforeAnything)
{
    list.append(row(true, "Mem 1"));
    port.onOpen = [] { throw AppError("COM Port Error: Unable to open com port"); };
    EXPECT_THROW(writeTickedChannels(ctx), AppError);
    EXPECT_EQ(ui.label, "");
    EXPECT_EQ(ui.hideEditPanelCalls, 1);
    EXPECT_TRUE(port.frames.empty());
    EXPECT_FALSE(state.busy);
}

TEST_F(WriterTest, NoWriteStartsWhileAnotherOperationRuns)
{
    list.append(row(true, "Mem 1"));
    list.append(row(true, "Mem 2"));
    int nestedFrames = -1;
    ui.onProcessEvents = [&](int call) {
        if (call == 1) {
            size_t before = port.frames.size();
            writeTickedChannels(ctx);
            nestedFrames = static_cast<int>(port.frames.size() - before);
        }
    };
    writeTickedChannels(ctx);
    EXPECT_EQ(nestedFrames, 0);
    EXPECT_EQ(port.frames.size(), 48u);
}
