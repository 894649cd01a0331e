// memvane-cli as a script runs it, against memvane-radio on a pseudo-terminal: the radio's frame
// log against the command sequences, the files against what the window's own read and save
// make, and the exit codes. Each test runs a private copy of the tool with its own
// "ComPort.ini", so no real settings file is read. That file gives the tool a wait a busy machine
// meets, and every radio command runs with --fast, which stops waiting when the answer is in.
#include "channels/ChannelReader.h"
#include "files/ChannelFile.h"
#include "sim/MemoryFile.h"
#include "tests/channels/Sequences.h"
#include "tests/civ/PtyLine.h"
#include "tests/sim/PtyClient.h"
#include "tests/soak/ChannelExpectations.h"
#include "tests/support/FakeUi.h"
#include "tests/support/Files.h"
#include "tests/support/RadioWait.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace memvane;
using namespace memvane::test;
namespace fs = std::filesystem;

namespace {

const char* const kMemories = "1 145.500000 FM Normal 145.500000 FM Normal off off 0.6000\n"
                              "2 145.775000 FM Narrow 145.175000 FM Narrow off - 0.6000\n"
                              "3 439.100000 FM Normal 431.500000 FM Normal off - 7.6000\n"
                              "4 3.500000 CW Narrow 14.025000 CW Narrow on off 0.1000\n"
                              "5 7.050000 LSB Wide 7.050000 LSB Wide off off 0.1000\n";

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

struct CliPty : ::testing::Test
{
    TempDir dir;
    std::string tool = dir.file("bin/memvane-cli");
    std::string link = dir.file("radio");
    std::unique_ptr<Child> radio;

    void SetUp() override
    {
        fs::create_directory(dir.file("bin"));
        fs::copy_file(MEMVANE_CLI_EXE, tool);
        std::ofstream(dir.file("bin/ComPort.ini")) << "[ComPort1]\r\nPort=" << link << "\r\n"
                                                   << busyMachineSettings();
    }

    void startRadio(const std::string& memories, std::vector<std::string> extra = {})
    {
        std::ofstream(dir.file("memories.txt")) << memories;
        std::vector<std::string> args = {
            MEMVANE_RADIO_EXE,     "--link", link, "--memories", dir.file("memories.txt"), "--log",
            dir.file("frames.log")};
        args.insert(args.end(), extra.begin(), extra.end());
        radio = std::make_unique<Child>(args);
        ASSERT_FALSE(radio->line().empty()) << radio->errors();
    }
    std::vector<std::string> frames() { return lines(slurp(dir.file("frames.log"))); }

    struct Result
    {
        int status = -1;
        std::string out, err;
    };
    Result cli(std::vector<std::string> args,
               std::chrono::seconds limit = std::chrono::seconds(120))
    {
        args.insert(args.begin(), tool);
        Child child(args);
        Result r;
        r.status = child.wait(limit).value_or(-1);
        for (std::string l = child.line(0ms); !l.empty(); l = child.line(0ms))
            r.out += l + "\n";
        r.err = child.errors();
        return r;
    }
};

} // namespace

TEST_F(CliPty, ReadSendsTheWindowsFramesAndWritesWhatSaveToFileWrites)
{
    startRadio(kMemories);
    Result r = cli({"read", "--fast", "--first", "1", "--last", "5", "-o", dir.file("read.txt")});
    ASSERT_EQ(r.status, 0) << r.err;

    std::vector<std::string> expected;
    for (int m = 1; m <= 5; ++m)
        append(expected, readFrames(locationHex(m)));
    EXPECT_EQ(frames(), expected);
    EXPECT_EQ(lines(r.err).back(), "5 Memory Locations Read ");

    // The window's read of the same memories, saved by "Save to File".
    PtyLine line(0);
    sim::MemoryMap memories = sim::parseMemories(kMemories, "memories");
    line.radio.withModel([&](sim::RadioModel& m) {
        sim::loadInto(m, memories);
        return 0;
    });
    ProgramState state;
    state.fillNameTables();
    waitAsABusyMachineNeeds(state);
    FakeUi ui;
    ChannelList list;
    RadioContext ctx{state, ui, line.io, list};
    readAllChannels(ctx, 1, 5);
    ui.saveAnswers.push_back(dir.file("saved.txt"));
    saveChannelFile(list, state, ui);
    EXPECT_EQ(slurp(dir.file("read.txt")), slurp(dir.file("saved.txt")));

    std::string want;
    for (const auto& [n, memory] : memories) {
        want += "false";
        for (const std::string& text : rowTexts(n, memory))
            want += "," + text;
        want += "\r\n";
    }
    EXPECT_EQ(slurp(dir.file("read.txt")), want);
}

TEST_F(CliPty, WriteThenReadGivesTheSameMemories)
{
    startRadio("");
    std::ofstream(dir.file("rows.txt"))
        << "true,Mem 7,0014.025000,0003.500000,CW,Narrow,Split On,,00.1000\r\n"
           "false,Mem 9,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.6000\r\n"
           "true,Mem 8,0431.500000,0439.100000,FM,Normal,Duplex +,,07.6000\r\n";
    Result w = cli({"write", "--fast", dir.file("rows.txt")});
    ASSERT_EQ(w.status, 0) << w.err;
    std::vector<std::string> expected =
        writeFrames("0007", "0050021400", "0000500300", "0302", "01");
    append(expected, writeFrames("0008", "0000503104", "0000103904", "0501", "12"));
    EXPECT_EQ(frames(), expected);

    // Read back as CHIRP CSV, and that converted to a channel file.
    Result r = cli({"read", "--fast", "--first", "7", "--last", "8", "-o", dir.file("back.csv")});
    ASSERT_EQ(r.status, 0) << r.err;
    Result c = cli({"convert", dir.file("back.csv"), dir.file("back.txt")});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(slurp(dir.file("back.txt")),
              "false,Mem 7,0014.025000,0003.500000,CW,Narrow,Split On,,00.0000\r\n"
              "false,Mem 8,0431.500000,0439.100000,FM,Normal,Duplex +,,07.6000\r\n");
}

TEST_F(CliPty, ExitCodesForASilentRadioAMissingPortAndABadFile)
{
    startRadio(kMemories, {"--silent"});
    Result silent = cli({"read", "--fast", "-o", dir.file("none.txt")});
    EXPECT_EQ(silent.status, 1);
    EXPECT_EQ(lines(silent.err),
              (std::vector<std::string>{"Reading Memory Location 1",
                                        "Mem 1 Command sent to radio was FEFE58E008FD",
                                        "Mem 1 No return from Radio!! - Check ComPort and CI-V "
                                        "settings."}));
    EXPECT_FALSE(fs::exists(dir.file("none.txt")));
    EXPECT_EQ(frames(), std::vector<std::string>{"FEFE58E008FD"});

    Result missing = cli({"--port", dir.file("gone"), "tune", "5"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("COM Port Error: Unable to open com port on " + dir.file("gone")),
              std::string::npos)
        << missing.err;

    // The second ticked row is bad: nothing at all reaches the radio.
    std::ofstream(dir.file("bad.txt"))
        << "true,Mem 7,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.6000\r\n"
           "true,Mem 8,0145.500000,0145.500000,FM,Normal,Duplex Sideways,,00.6000\r\n";
    Result bad = cli({"write", "--fast", dir.file("bad.txt")});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "memvane-cli: " + dir.file("bad.txt") +
                           ": row 2 (Mem 8): '' is not a valid integer value\n");
    EXPECT_EQ(frames().size(), 1u);
}

// A blank memory answers its selection and its copy to the VFO NG: a read gives a blank row and
// a write fills it, and neither is a failure; any other refusal still is.
TEST_F(CliPty, BlankMemoriesAreNoFailureOtherRefusalsAre)
{
    startRadio(kMemories, {"--refuse", "04@5"});
    Result read = cli({"read", "--fast", "--first", "6", "--last", "6", "-o", dir.file("six.txt")});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(slurp(dir.file("six.txt")), "false,Mem 6, , , , , , , \r\n");

    std::ofstream(dir.file("six.txt"))
        << "true,Mem 6,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.6000\r\n";
    Result write = cli({"write", "--fast", dir.file("six.txt")});
    EXPECT_EQ(write.status, 0) << write.err;

    Result refused = cli({"read", "--fast", "--first", "5", "--last", "5"});
    EXPECT_EQ(refused.status, 1) << refused.err;
}

TEST_F(CliPty, CtrlCStopsAtTheNextMemory)
{
    // A radio slow enough that the 99 memories are still being read when Ctrl-C comes.
    startRadio(kMemories, {"--delay-ms", "20"});
    Child child({tool, "read", "--fast", "-o", dir.file("stopped.txt")});
    ASSERT_TRUE(eventually([&] { return frames().size() >= 20; }, 60s));
    ::kill(child.pid(), SIGINT);
    ASSERT_EQ(child.wait(60s), 130) << child.errors();

    size_t sent = frames().size();
    EXPECT_EQ(sent % 16, 0u) << "a memory's sixteen exchanges were cut";
    EXPECT_EQ(lines(slurp(dir.file("stopped.txt"))).size(), sent / 16);
    EXPECT_NE(
        child.errors().find("Stopped: the file holds memories 1 to " + std::to_string(sent / 16)),
        std::string::npos);
}
