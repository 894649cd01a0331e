// Reading, writing and Go To Chan through the program's serial component against the simulated
// radio on a pseudo-terminal; the radio's frame log is compared with the command sequences.
#include "channels/ChannelReader.h"
#include "channels/ChannelTuner.h"
#include "channels/ChannelWriter.h"
#include "core/Errors.h"
#include "tests/channels/Sequences.h"
#include "tests/civ/PtyLine.h"
#include "tests/support/FakeUi.h"
#include "tests/support/RadioWait.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <thread>

using namespace memvane;
using namespace memvane::test;

namespace {

ChannelRow row(bool write, const std::string& label, const std::string& a, const std::string& b,
               const std::string& mode, const std::string& filter, const std::string& split)
{
    return {write, {label, a, b, mode, filter, split, "", "00.6000"}};
}

struct RadioPty : ::testing::Test
{
    TempDir dir;
    PtyLine line{2, dir.file("radio")};
    ProgramState state;
    FakeUi ui;
    ChannelList list;
    RadioContext ctx{state, ui, line.io, list};

    void SetUp() override
    {
        state.fillNameTables();
        // The radio answers as soon as it is scheduled; the wait is for a busy machine.
        waitAsABusyMachineNeeds(state);
        line.radio.setDelayMs(0);
    }
    void fill(int first, int last)
    {
        line.radio.withModel([&](sim::RadioModel& m) {
            for (int n = first; n <= last; ++n)
                m.setMemory(n, memoryOf(145'000'000 + n * 12'500, 145'000'000 + n * 12'500,
                                        sim::kModeFm, sim::kFilterNormal));
            return 0;
        });
    }
};

} // namespace

TEST_F(RadioPty, FullReadOfNinetyNineMemories)
{
    // The program's own wait: 1584 exchanges, and one late scheduling would end the read.
    state.civdelay = 45;
    state.fastExchange = false;
    fill(1, 99);
    // Blank memories answer their selection NG and are selected all the same.
    line.radio.withModel([](sim::RadioModel& m) {
        m.setMemory(50, memoryOf(145'600'000, 145'000'000, sim::kModeFm, sim::kFilterNarrow));
        m.setMemory(51, std::nullopt);
        m.setMemory(99, std::nullopt);
        return 0;
    });
    try {
        readAllChannels(ctx);
    } catch (const EAbort&) {
        FAIL() << ::testing::PrintToString(ui.errorLines) << line.busyMachineNote(45);
    } catch (const AppError& e) {
        FAIL() << e.message() << " at " << state.memloc
               << "; radio hung up: " << line.radio.hungUp() << "; frames "
               << line.radio.frameLog().size();
    }

    std::vector<std::string> expected;
    for (int m = 1; m <= 99; ++m)
        append(expected, readFrames(locationHex(m)));
    EXPECT_EQ(line.radio.frameLog(), expected);
    ASSERT_EQ(list.size(), 99u);
    EXPECT_EQ(list.row(0),
              row(false, "Mem 1", "0145.012500", "0145.012500", "FM", "Normal", "Duplex Off"));
    EXPECT_EQ(list.row(49),
              row(false, "Mem 50", "0145.000000", "0145.600000", "FM", "Narrow", "Duplex --"));
    const std::vector<std::string> blank(7, " ");
    for (int m : {51, 99}) {
        std::vector<std::string> texts = list.row(static_cast<size_t>(m - 1)).texts;
        EXPECT_EQ(texts.at(0), "Mem " + std::to_string(m));
        EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.end()), blank) << m;
        EXPECT_FALSE(line.radio.withModel([m](sim::RadioModel& r) { return r.memory(m); }))
            << "reading memory " << m << " stored something into it";
    }
    EXPECT_EQ(ui.label, "99 Memory Locations Read ");
    // Each blank memory: the two stores and memory to VFO refused; the selection is no failure.
    EXPECT_EQ(ui.errorLines.size(), 2u * 3 * 3);
}

TEST_F(RadioPty, WriteThenRereadWithSpecialLocations)
{
    for (int i = 1; i <= 7; ++i)
        list.append(row(false, "Mem " + std::to_string(i), "1", "1", "FM", "Normal", "x"));
    list.setRow(2, row(true, "Mem 1A", "433.000000", "434.600000", "FM", "Narrow", "Duplex +"));
    list.setRow(6, row(true, "Mem C2", "7.05", "7.05", "LSB", "Wide", "Split Off"));
    writeTickedChannels(ctx);
    std::vector<std::string> expected =
        writeFrames("0100", "0000003304", "0000603404", "0502", "12");
    append(expected, writeFrames("0107", "0000050700", "0000050700", "0003", "00"));
    EXPECT_EQ(line.radio.frameLog(), expected);
    EXPECT_EQ(ui.label, "2 Memory Locations Writen ");
    // Both memories were blank: each selection was answered NG, logged, and the row written.
    const std::string ng = " Incorrect return from Radio!! - Expected FEFEE058FB but got "
                           "FEFEE058FA Command failed.";
    EXPECT_EQ(ui.errorLines,
              (std::vector<std::string>{" Command sent to radio was FEFE58E0080100FD", ng, "",
                                        " Command sent to radio was FEFE58E0080107FD", ng, ""}));

    // Read them back by row position: rows 100 and 107.
    line.radio.clearFrameLog();
    std::vector<ChannelRow> rows;
    for (int i = 1; i <= 107; ++i)
        rows.push_back(row(i == 100 || i == 107, "Mem " + std::to_string(i), "", "", "", "", ""));
    list.replaceAll(rows);
    rereadTickedChannels(ctx);
    expected = readFrames("0100");
    append(expected, readFrames("0107"));
    EXPECT_EQ(line.radio.frameLog(), expected);
    EXPECT_EQ(list.row(99),
              row(true, "Mem 100", "0433.000000", "0434.600000", "FM", "Narrow", "Duplex +"));
    EXPECT_EQ(list.row(106),
              row(true, "Mem 107", "0007.050000", "0007.050000", "LSB", "Wide", "Duplex Off"));
}

TEST_F(RadioPty, LostLineClosesThePortAndTheSameLinkWorksAgain)
{
    fill(1, 2);
    EXPECT_EQ(readChannel(ctx, 1, false).rx, "0145.012500");

    // The radio drops its pty at the third frame, before answering it; the exchange's wait
    // sees the line go.
    line.radio.hangUpAfter(3);
    try {
        readChannel(ctx, 2, false);
        FAIL() << "a read cannot go on after the line hung up";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.message(), "COM Port Error: ReadFile function failed on " + dir.file("radio"));
        EXPECT_EQ(e.Detail(), "lost " + dir.file("radio") +
                                  ": the device hung up (unplugged, switched off or reset)");
    }
    EXPECT_FALSE(line.port.Connected());
    EXPECT_EQ(line.port.EventThread(), nullptr);

    // Back on the same link: the next command simply works, with the settings as they were.
    line.radio.reopen();
    line.radio.clearFrameLog();
    EXPECT_EQ(readChannel(ctx, 2, false).rx, "0145.025000");
    EXPECT_EQ(line.radio.frameLog(), readFrames("0002"));
    EXPECT_EQ(line.port.Port(), dir.file("radio"));
    EXPECT_EQ(line.port.BaudRate(), br19200);
    EXPECT_TRUE(ui.errorLines.empty());
}

TEST_F(RadioPty, GoToChan)
{
    fill(12, 12);
    list.append(row(false, "Mem 12", "", "", "", "", ""));
    goToChannel(ctx, 0);
    EXPECT_EQ(line.radio.frameLog(),
              (std::vector<std::string>{"FEFE58E008FD", "FEFE58E0080012FD"}));
    EXPECT_TRUE(line.radio.withModel(
        [](sim::RadioModel& m) { return m.memoryMode() && m.selectedMemory() == 12; }));
}

TEST_F(RadioPty, RereadWithTheRealDelay)
{
    state.civdelay = 45;
    state.fastExchange = false;
    line.radio.setDelayMs(5);
    fill(1, 3);
    for (int i = 1; i <= 3; ++i)
        list.append(row(i != 2, "Mem " + std::to_string(i), "", "", "", "", ""));
    try {
        rereadTickedChannels(ctx);
    } catch (const EAbort&) {
        FAIL() << ::testing::PrintToString(ui.errorLines) << line.busyMachineNote(45);
    }
    std::vector<std::string> expected = readFrames("0001");
    append(expected, readFrames("0003"));
    EXPECT_EQ(line.radio.frameLog(), expected);
    EXPECT_EQ(list.row(2).texts.at(1), "0145.037500");
    EXPECT_TRUE(ui.errorLines.empty());
}

TEST_F(RadioPty, SilentRadioAndRefusedMemoryToVfo)
{
    fill(1, 6);
    line.radio.refuse({std::string(1, '\x0A'), 5, -1});
    for (int i = 1; i <= 6; ++i)
        list.append(row(true, "Mem " + std::to_string(i), "", "", "", "", ""));
    rereadTickedChannels(ctx);
    // Without memory to VFO the VFOs still hold memory 4: the row goes blank rather than
    // showing memory 4's frequencies under memory 5's label.
    EXPECT_EQ(list.row(4).texts.at(1), " ");
    EXPECT_EQ(list.row(3).texts.at(1), "0145.050000");
    EXPECT_EQ(ui.errorLines.at(0), "Mem 5 Command sent to radio was FEFE58E00AFD");
    line.radio.clearRefusals();

    ui = FakeUi{};
    line.radio.setSilent(true);
    EXPECT_THROW(readAllChannels(ctx), EAbort);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(ui.errorLines,
              (std::vector<std::string>{
                  "Mem 1 Command sent to radio was FEFE58E008FD",
                  "Mem 1 No return from Radio!! - Check ComPort and CI-V settings.", ""}));
    EXPECT_EQ(ui.label, "Reading Memory Location 1");
}

TEST_F(RadioPty, HangUpInTheMiddleOfAReadKeepsTheRows)
{
    fill(1, 99);
    std::thread plug([&] {
        if (line.radio.waitForFrames(16 * 3 + 5, std::chrono::seconds(20)))
            line.radio.hangUp();
    });
    try {
        readAllChannels(ctx);
        ADD_FAILURE() << "a read cannot finish on a hung-up line";
    } catch (const EAbort&) {
        EXPECT_FALSE(ui.errorLines.empty());
    } catch (const AppError& e) {
        EXPECT_EQ(e.message().rfind("COM Port Error: ", 0), 0u) << e.message();
    }
    plug.join();
    EXPECT_GE(list.size(), 3u);
    EXPECT_LE(list.size(), 4u);
    EXPECT_EQ(list.row(2).texts.at(1), "0145.037500");
    EXPECT_FALSE(state.busy);
}
