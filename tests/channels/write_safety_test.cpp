// The backup before a write, the check after it and the restore, against the simulated radio's
// model in-process: what the radio sees, what it holds afterwards, and what the user is told.
#include "channels/ChannelReader.h"
#include "channels/WriteSafety.h"
#include "core/Errors.h"
#include "tests/channels/ModelPort.h"
#include "tests/channels/Sequences.h"
#include "tests/support/FakeUi.h"

#include <gtest/gtest.h>

using namespace memvane;
using namespace memvane::test;

namespace {

ChannelRow row(const std::string& label, const std::string& a, const std::string& b,
               const std::string& mode, const std::string& filter, const std::string& split)
{
    return {true, {label, a, b, mode, filter, split, "", "00.6000"}};
}

struct SafetyTest : ::testing::Test
{
    sim::RadioModel radio;
    ModelPort port{radio};
    ProgramState state;
    FakeUi ui;
    ChannelList list;
    RadioContext ctx{state, ui, port, list};
    std::vector<std::vector<ChannelRow>> saved; // every backup handed over

    void SetUp() override
    {
        state.fillNameTables();
        // Memories 10..14 as the radio holds them before the write; 13 is blank.
        radio.setMemory(10, memoryOf(145'500'000, 145'500'000, sim::kModeFm, sim::kFilterNormal));
        radio.setMemory(11, memoryOf(145'775'000, 145'175'000, sim::kModeFm, sim::kFilterNormal));
        radio.setMemory(12, memoryOf(433'500'000, 433'500'000, sim::kModeFm, sim::kFilterNormal));
        radio.setMemory(14, memoryOf(7'050'000, 7'050'000, sim::kModeLsb, sim::kFilterWide));
        list.replaceAll({row("Mem 10", "146.0", "146.0", "FM", "Normal", "Duplex Off"),
                         row("Mem 11", "14.2", "14.25", "USB", "Normal", "Split On"),
                         row("Mem 12", "144.8", "144.8", "FM", "Narrow", "Duplex Off"),
                         row("Mem 13", "14.2", "14.2", "USB", "Normal", "Duplex Off"),
                         row("Mem 14", "7.1", "7.1", "CW", "Narrow", "Duplex Off")});
    }

    WriteOptions options(bool backup, bool verify)
    {
        WriteOptions o;
        o.backup = backup;
        o.verify = verify;
        o.saveBackup = [this](const std::vector<ChannelRow>& rows) {
            saved.push_back(rows);
            return std::string("/backups/backup-x.txt");
        };
        return o;
    }

    // What "Read Radio Memory" shows for memories 10..14 now, on a copy of the radio.
    std::vector<ChannelRow> readOfTenToFourteen()
    {
        sim::RadioModel copy = radio;
        copy.setMisstore(std::nullopt);
        ModelPort copyPort{copy};
        ProgramState s;
        s.fillNameTables();
        FakeUi u;
        ChannelList l;
        RadioContext c{s, u, copyPort, l};
        readAllChannels(c, 10, 14);
        return l.rows();
    }

    // The error lines of a verification (the exchanges' own lines left out).
    std::vector<std::string> differences() const
    {
        std::vector<std::string> lines;
        for (const std::string& line : ui.errorLines)
            if (line.find("the radio holds") != std::string::npos)
                lines.push_back(line);
        return lines;
    }

    bool anyFrameStartsWith(const std::string& prefix, size_t from = 0)
    {
        for (size_t i = from; i < radio.frameLog().size(); ++i)
            if (radio.frameLog()[i].rfind(prefix, 0) == 0)
                return true;
        return false;
    }
};

std::vector<ChannelRow> ticked(std::vector<ChannelRow> rows)
{
    for (ChannelRow& r : rows)
        r.write = true;
    return rows;
}

} // namespace

TEST_F(SafetyTest, WithoutOptionsTheWriteSendsThePlainFrames)
{
    list.replaceAll({row("Mem 10", "146.0", "146.0", "FM", "Normal", "Duplex Off"),
                     row("Mem 11", "14.2", "14.25", "USB", "Narrow", "Split On")});
    WriteOutcome out = writeChannels(ctx, options(false, false));
    std::vector<std::string> expected =
        writeFrames("0010", "0000004601", "0000004601", "0501", "10");
    append(expected, writeFrames("0011", "0000201400", "0000251400", "0102", "01"));
    EXPECT_EQ(radio.frameLog(), expected);
    EXPECT_TRUE(saved.empty());
    EXPECT_TRUE(ui.errorLines.empty());
    EXPECT_EQ(ui.label, "2 Memory Locations Writen ");
    EXPECT_TRUE(out.finished);
}

TEST_F(SafetyTest, BackupHoldsTheMemoriesAsAReadShowsThemAndComesFirst)
{
    const std::vector<ChannelRow> before = readOfTenToFourteen();
    // A memory named twice is backed up once.
    list.append(row("Mem 12", "144.9", "144.9", "FM", "Normal", "Duplex Off"));
    WriteOutcome out = writeChannels(ctx, options(true, false));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0], ticked(before));
    EXPECT_EQ(out.backupPath, "/backups/backup-x.txt");

    std::vector<std::string> expected;
    for (int m = 10; m <= 14; ++m)
        append(expected, readFrames(locationHex(m)));
    ASSERT_GT(radio.frameLog().size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(radio.frameLog().begin(),
                                       radio.frameLog().begin() + expected.size()),
              expected);
    EXPECT_EQ(radio.frameLog().size(), expected.size() + 6 * 24);
    // The error list names the file; the blank memory's refusals carry its own label.
    EXPECT_NE(std::find(ui.errorLines.begin(), ui.errorLines.end(),
                        "Backup of 5 memories before writing: /backups/backup-x.txt"),
              ui.errorLines.end());
    EXPECT_EQ(ui.errorLines.front().rfind("Mem 13 ", 0), 0u) << ui.errorLines.front();
    EXPECT_EQ(state.memloc, "") << "a write leaves the label as it was";
    EXPECT_NE(
        std::find(ui.statusHistory.begin(), ui.statusHistory.end(), "Backup saved: backup-x.txt"),
        ui.statusHistory.end());
    EXPECT_EQ(ui.label, "6 Memory Locations Writen ");
}

TEST_F(SafetyTest, NothingIsWrittenWhenTheBackupFails)
{
    // STOP while the backup is read.
    ui.onProcessEvents = [&](int call) {
        if (call == 2)
            state.stopread = true;
    };
    WriteOutcome stopped = writeChannels(ctx, options(true, true));
    EXPECT_FALSE(stopped.finished);
    EXPECT_TRUE(saved.empty());
    EXPECT_FALSE(anyFrameStartsWith("FEFE58E005"));
    EXPECT_EQ(ui.label, "Stopped during the backup: nothing written");
    EXPECT_FALSE(state.busy);

    // A memory that refuses more than a blank one does: its row would be unknown.
    ui.onProcessEvents = nullptr;
    radio.clearFrameLog();
    radio.addRefusal({std::string("\x0C", 1), 11, -1});
    try {
        writeChannels(ctx, options(true, true));
        ADD_FAILURE() << "the write went on";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "No backup: the radio refused a command while Mem 11 was read. "
                               "Nothing was written.");
    }
    radio.clearRefusals();
    EXPECT_FALSE(anyFrameStartsWith("FEFE58E005"));

    // A file that cannot be saved.
    WriteOptions unsaved = options(true, true);
    unsaved.saveBackup = [](const std::vector<ChannelRow>&) -> std::string {
        throw EInOutError(13, "File access denied");
    };
    try {
        writeChannels(ctx, unsaved);
        ADD_FAILURE() << "the write went on";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "No backup: File access denied. Nothing was written.");
    }
    EXPECT_FALSE(anyFrameStartsWith("FEFE58E005"));

    // A radio that stops answering.
    radio.setSilent(true);
    try {
        writeChannels(ctx, options(true, true));
        ADD_FAILURE() << "the write went on";
    } catch (const EAbort&) {
        ADD_FAILURE() << "a silent end would not say why nothing was written";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "No backup: the radio did not answer while Mem 10 was read. "
                               "Nothing was written.");
    }
    EXPECT_FALSE(state.busy);
}

TEST_F(SafetyTest, VerifyNamesTheMemoryThatStoredSomethingElseOnly)
{
    radio.setMisstore(sim::Misstore{12, 5000});
    WriteOutcome out = writeChannels(ctx, options(false, true));
    EXPECT_EQ(out.differing, 1);
    EXPECT_EQ(ui.label, "5 Memory Locations Writen, 1 differs from its row");
    EXPECT_EQ(differences(), (std::vector<std::string>{"Mem 12 Freq VFO B: the radio holds "
                                                       "0144.805000, the row asked for "
                                                       "0144.800000"}));
    EXPECT_TRUE(ui.errorsEnabled);
    // Every other memory holds its row, as a read shows it.
    std::vector<ChannelRow> now = readOfTenToFourteen();
    EXPECT_EQ(now[0].texts[1], "0146.000000");
    EXPECT_EQ(now[3].texts[3], "USB");
    EXPECT_EQ(now[2].texts[2], "0144.805000");
}

TEST_F(SafetyTest, VerifyComparesModeAndFilterAndKeepsTheSplitDuplexCode)
{
    radio.setMisstore(sim::Misstore{14, 0}); // keeps 7.05 LSB Wide
    list.replaceAll({row("Mem 14", "7.1", "7.1", "CW", "Narrow", "Duplex Off"),
                     row("Mem 20", "145.0", "145.6", "FM", "Normal", "Duplex --"),
                     row("Mem 21", "14.2", "14.25", "USB", "Normal", "Split On")});
    WriteOutcome out = writeChannels(ctx, options(false, true));
    EXPECT_EQ(out.differing, 1);
    EXPECT_EQ(differences(),
              (std::vector<std::string>{
                  "Mem 14 Freq VFO A: the radio holds 0007.050000, the row asked for 0007.100000",
                  "Mem 14 Freq VFO B: the radio holds 0007.050000, the row asked for 0007.100000",
                  "Mem 14 Mode: the radio holds LSB, the row asked for CW",
                  "Mem 14 filter: the radio holds Wide, the row asked for Narrow"}));
    // The read-back stores the memory with split on and then off; the row's code goes back.
    ASSERT_TRUE(radio.memory(20));
    EXPECT_EQ(radio.memory(20)->duplex, sim::Duplex::Minus);
    EXPECT_FALSE(radio.memory(20)->split);
    EXPECT_TRUE(radio.memory(21)->split);
    EXPECT_EQ(radio.memory(20)->offsetHz, 600'000u);
    // Each row: its write (the duplex one sets its offset too), the read-back, the code again.
    EXPECT_EQ(radio.frameLog().size(), 3u * (24 + 16 + 2) + 1);
    EXPECT_EQ(radio.frameLog()[24 + 16], "FEFE58E00F10FD");
    EXPECT_EQ(radio.frameLog()[24 + 16 + 1], "FEFE58E009FD");
    EXPECT_EQ(radio.frameLog()[2 * (24 + 16 + 2) + 1 - 2], "FEFE58E00F11FD");
}

TEST_F(SafetyTest, RestoreGivesTheBackupsRowsBackBlankMemoriesBlank)
{
    radio.setMisstore(sim::Misstore{12, 0});
    writeChannels(ctx, options(true, true));
    ASSERT_EQ(saved.size(), 1u);
    const std::vector<ChannelRow> backup = saved[0];
    ASSERT_TRUE(radio.memory(13)) << "the write filled the blank memory";

    radio.setMisstore(std::nullopt);
    radio.clearFrameLog();
    ui.errorLines.clear();
    list.replaceAll(backup);
    WriteOptions restore = options(false, true);
    restore.restore = true;
    WriteOutcome out = writeChannels(ctx, restore);
    EXPECT_EQ(out.differing, 0) << ::testing::PrintToString(ui.errorLines);
    EXPECT_TRUE(differences().empty());
    EXPECT_EQ(out.refusedRows, 0);
    EXPECT_EQ(ui.label, "5 Memory Locations Writen, 0 differ from their rows");
    EXPECT_FALSE(radio.memory(13));
    EXPECT_EQ(ticked(readOfTenToFourteen()), backup);
    // Memory 13: VFO A, the memory named, memory clear; then read back.
    const std::vector<std::string>& log = radio.frameLog();
    const size_t clearAt = 3 * (24 + 16 + 2) + 1; // Mem 11 is a duplex row: its offset too
    ASSERT_GT(log.size(), clearAt + 3);
    EXPECT_EQ((std::vector<std::string>(log.begin() + clearAt, log.begin() + clearAt + 3)),
              (std::vector<std::string>{"FEFE58E00700FD", "FEFE58E0080013FD", "FEFE58E00BFD"}));
}

TEST_F(SafetyTest, CompareWithPlanInTheRadiosTerms)
{
    ChannelWritePlan plan = planChannelWrite(state, list, 2); // Mem 12 144.8 FM Narrow
    ChannelReading same{"0144.800000", "144.8", "FM", "Narrow", "Duplex Off", "00.6000"};
    EXPECT_TRUE(compareWithPlan(state, "Mem 12", same, &plan).empty())
        << "the frequency as a number, not as a text";
    ChannelReading blank;
    blank.blank = true;
    blank.refused = true;
    EXPECT_EQ(compareWithPlan(state, "Mem 12", blank, &plan),
              (std::vector<std::string>{
                  "Mem 12 is blank in the radio, the row asked for 0144.800000 / 0144.800000"}));
    EXPECT_TRUE(compareWithPlan(state, "Mem 13", blank, nullptr).empty());
    EXPECT_EQ(compareWithPlan(state, "Mem 13", same, nullptr),
              (std::vector<std::string>{
                  "Mem 13 should be blank, the radio holds 0144.800000 / 144.8 FM"}));
    // The offset counts where the write set it.
    ChannelReading offset = same;
    offset.offset = "07.6000";
    EXPECT_TRUE(compareWithPlan(state, "Mem 12", offset, &plan).empty());
    ChannelWritePlan duplex = plan;
    duplex.offset = offsetBytes(600'000).value();
    EXPECT_TRUE(compareWithPlan(state, "Mem 12", same, &duplex).empty());
    EXPECT_EQ(compareWithPlan(state, "Mem 12", offset, &duplex),
              (std::vector<std::string>{
                  "Mem 12 offset: the radio holds 07.6000, the row asked for 00.6000"}));
    ChannelReading refused = same;
    refused.refused = true;
    EXPECT_EQ(compareWithPlan(state, "Mem 12", refused, &plan).size(), 1u);
}

TEST(WriteEndText, CountsTheRowsThatDiffer)
{
    EXPECT_EQ(writeEndText(9, false, 0), "9 Memory Locations Writen ");
    EXPECT_EQ(writeEndText(9, true, 1), "9 Memory Locations Writen, 1 differs from its row");
    EXPECT_EQ(writeEndText(9, true, 2), "9 Memory Locations Writen, 2 differ from their rows");
}
