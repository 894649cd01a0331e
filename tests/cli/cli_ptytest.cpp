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

#include <algorithm>
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
    // The plain write, as the window's "Write to Radio" without its options sends it.
    Result w = cli({"write", "--fast", "--no-backup", "--no-verify", dir.file("rows.txt")});
    ASSERT_EQ(w.status, 0) << w.err;
    std::vector<std::string> expected =
        writeFrames("0007", "0050021400", "0000500300", "0302", "01");
    append(expected, writeFrames("0008", "0000503104", "0000103904", "0501", "01")); // split
    EXPECT_EQ(frames(), expected);

    // Read back as CHIRP CSV, and that converted to a channel file.
    Result r = cli({"read", "--fast", "--first", "7", "--last", "8", "-o", dir.file("back.csv")});
    ASSERT_EQ(r.status, 0) << r.err;
    Result c = cli({"convert", dir.file("back.csv"), dir.file("back.txt")});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(slurp(dir.file("back.txt")),
              "false,Mem 7,0014.025000,0003.500000,CW,Narrow,Split On,,00.6000\r\n"
              "false,Mem 8,0431.500000,0439.100000,FM,Normal,Duplex --,,07.6000\r\n");
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

    // Memory 0 or 108: the radio has no such memory, the file is refused whole.
    for (const char* location : {"0", "108"}) {
        std::ofstream(dir.file("bad.txt"))
            << "true,Mem 5,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.6000\r\n"
            << "true,Mem " << location << ",0145.500000,0145.500000,FM,Normal,Duplex Off,,\r\n";
        Result none = cli({"write", dir.file("bad.txt")});
        EXPECT_EQ(none.status, 2) << none.err;
        EXPECT_EQ(none.err, "memvane-cli: " + dir.file("bad.txt") + ": row 2 (Mem " + location +
                                "): 'Mem " + location +
                                "' is not a memory of the radio: it has memories 1 to 99 and 1A "
                                "to C2\n");
        EXPECT_EQ(frames().size(), 1u);
    }
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
    const std::string errors = child.errors();
    EXPECT_NE(errors.find("Stopped: the file holds memories 1 to " + std::to_string(sent / 16)),
              std::string::npos);
    // The progress names no memory that was not read.
    std::string lastRead;
    for (const std::string& l : lines(errors))
        if (l.rfind("Reading Memory Location ", 0) == 0)
            lastRead = l;
    EXPECT_EQ(lastRead, "Reading Memory Location " + std::to_string(sent / 16)) << errors;
}

// An existing backup is replaced only by a complete read; the output is checked before the radio
// is asked anything; standard output is checked and "-" names it.
TEST_F(CliPty, AnIncompleteReadKeepsTheBackupAndOutputsAreCheckedFirst)
{
    startRadio(kMemories, {"--refuse", "04@2"});
    const std::string backup = dir.file("bk.txt");
    std::ofstream(backup) << "good\r\n";
    Result refused = cli({"read", "--first", "1", "--last", "3", "-o", backup});
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_EQ(slurp(backup), "good\r\n");
    const std::string partial = dir.file("bk.partial.txt");
    EXPECT_EQ(lines(slurp(partial)).size(), 3u);
    EXPECT_NE(refused.err.find("The radio refused 1 memory (a blank row): " + backup +
                               " is kept as it was; " + partial + " holds memories 1 to 3"),
              std::string::npos)
        << refused.err;
    // A second one does not overwrite the first partial file either.
    cli({"read", "--first", "1", "--last", "2", "-o", backup});
    EXPECT_EQ(lines(slurp(dir.file("bk.partial-2.txt"))).size(), 2u);
    EXPECT_EQ(lines(slurp(partial)).size(), 3u);

    // Bad outputs: said at once, naming the path, with nothing sent.
    const size_t sent = frames().size();
    const std::pair<std::string, std::string> bad[] = {
        {dir.path().string(), "cannot write " + dir.path().string() + ": it is a folder"},
        {dir.file("nowhere/bk.txt"),
         "cannot write " + dir.file("nowhere/bk.txt") + ": the folder " + dir.file("nowhere") +
             " does not exist"}};
    for (const auto& [path, why] : bad) {
        Result r = cli({"read", "-o", path});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "memvane-cli: " + why + "\n");
    }
    EXPECT_EQ(frames().size(), sent);

    // Standard output: a full disk is an error; closed, nothing is read at all.
    auto shell = [&](const std::string& command) {
        Child child({"/bin/sh", "-c", command});
        Result r;
        r.status = child.wait(std::chrono::seconds(120)).value_or(-1);
        // The child has ended: what it wrote is in the pipe, then its end.
        for (std::string l = child.line(1000ms); !l.empty(); l = child.line(1000ms))
            r.out += l + "\n";
        r.err = child.errors();
        return r;
    };
    Result full = shell(tool + " read --first 1 --last 1 > /dev/full");
    EXPECT_EQ(full.status, 2) << full.err;
    EXPECT_NE(full.err.find("cannot write standard output: No space left on device"),
              std::string::npos)
        << full.err;
    const size_t afterFull = frames().size();
    Result closed = shell(tool + " read --first 1 --last 1 -o - >&-");
    EXPECT_EQ(closed.status, 2) << closed.err;
    EXPECT_NE(closed.err.find("standard output is closed"), std::string::npos) << closed.err;
    EXPECT_EQ(frames().size(), afterFull);

    // "-" for input and output: convert a channel file from standard input to CHIRP CSV.
    Result piped = shell("printf 'false,Mem 5,145.5,145.5,FM,Normal,Duplex Off,,00.0000\\r\\n' | " +
                         tool + " --format chirp convert - -");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_NE(piped.out.find("5,,145.500000,,0.000000"), std::string::npos)
        << piped.out << piped.err;

    // A CHIRP file with nothing the radio can hold replaces nothing.
    std::ofstream(dir.file("none.csv")) << "Location,Frequency\r\n0,145.5\r\n";
    std::ofstream(dir.file("kept.txt")) << "kept\r\n";
    Result none = cli({"convert", dir.file("none.csv"), dir.file("kept.txt")});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find(dir.file("none.csv") + ": no row is a memory the radio can hold"),
              std::string::npos)
        << none.err;
    EXPECT_EQ(slurp(dir.file("kept.txt")), "kept\r\n");
}

TEST_F(CliPty, SpecialMemoriesLevelsProgressAndCheck)
{
    startRadio(std::string(kMemories) + "1A 145.500000 FM Normal 145.500000 FM Normal off off 0.6000\n");
    Result r = cli({"read", "--first", "1A", "--last", "1B", "-o", dir.file("special.txt")});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> expected = readFrames("0100");
    append(expected, readFrames("0101"));
    EXPECT_EQ(frames(), expected);
    std::vector<std::string> saved = lines(slurp(dir.file("special.txt")));
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].substr(0, 17), "false,Mem 1A,0145");
    EXPECT_EQ(saved[1], "false,Mem 1B, , , , , , , \r");
    // 1B is empty: at the normal level its refusal is not printed, with -v it is.
    EXPECT_EQ(r.err.find("Command failed"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Reading Memory Location 1B"), std::string::npos) << r.err;
    Result verbose = cli({"-v", "read", "--first", "1B", "--last", "1B", "-o", "-"});
    EXPECT_NE(verbose.err.find("Command sent to radio was FEFE58E00AFD"), std::string::npos)
        << verbose.err;
    Result quiet = cli({"-q", "read", "--first", "1", "--last", "2", "-o", dir.file("q.txt")});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");

    // tune 1A selects 01 00.
    const size_t before = frames().size();
    EXPECT_EQ(cli({"tune", "1a"}).status, 0);
    const std::vector<std::string> log = frames();
    EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<long>(before), log.end()),
              (std::vector<std::string>{"FEFE58E008FD", "FEFE58E0080100FD"}));

    // A write's progress names the memory, not only the row; --check sends nothing.
    std::ofstream(dir.file("w.txt"))
        << "false,Mem 1,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.6000\r\n"
           "true,Mem 50,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.6000\r\n";
    const size_t beforeCheck = frames().size();
    Result check = cli({"write", "--check", dir.file("w.txt")});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.err, dir.file("w.txt") + ": 1 row can be written\n");
    EXPECT_EQ(frames().size(), beforeCheck);
    Result w = cli({"write", dir.file("w.txt")});
    EXPECT_EQ(w.status, 0) << w.err;
    // The backup's reading comes first.
    const std::vector<std::string> progress = lines(w.err);
    EXPECT_NE(std::find(progress.begin(), progress.end(), "Writing Mem 50, row 2"), progress.end())
        << w.err;
}

// Memory 12 answers OK to every write yet keeps what it held: the write backs memories 10-14 up
// as a read shows them, names memory 12 as the one that differs and exits 1; restoring the
// backup (the newest, when none is named) gives the read of before back, blank memory blank.
TEST_F(CliPty, WriteBacksUpVerifiesAndRestoreGivesTheMemoriesBack)
{
    const std::string memories = "10 145.500000 FM Normal 145.500000 FM Normal off off 0.6000\n"
                                 "11 145.775000 FM Normal 145.175000 FM Normal off - 0.6000\n"
                                 "12 433.500000 FM Normal 433.500000 FM Normal off off 0.6000\n"
                                 "14 7.050000 LSB Wide 7.050000 LSB Wide off off 0.1000\n";
    startRadio(memories, {"--misstore", "12"});
    Result before =
        cli({"read", "--fast", "--first", "10", "--last", "14", "-o", dir.file("before.txt")});
    ASSERT_EQ(before.status, 0) << before.err;
    std::ofstream(dir.file("rows.txt"))
        << "true,Mem 10,0146.000000,0146.000000,FM,Normal,Duplex Off,,00.6000\r\n"
           "true,Mem 11,0014.200000,0014.250000,USB,Normal,Split On,,00.6000\r\n"
           "true,Mem 12,0144.800000,0144.800000,FM,Narrow,Duplex Off,,00.6000\r\n"
           "true,Mem 13,0014.200000,0014.200000,USB,Normal,Duplex Off,,00.6000\r\n"
           "true,Mem 14,0007.100000,0007.100000,CW,Narrow,Duplex Off,,00.6000\r\n";
    Result w = cli({"write", "--fast", dir.file("rows.txt")});
    EXPECT_EQ(w.status, 1) << w.err;

    std::vector<std::string> backups;
    for (const auto& e : fs::directory_iterator(dir.file("bin")))
        if (e.path().filename().string().rfind("backup-", 0) == 0)
            backups.push_back(e.path().string());
    ASSERT_EQ(backups.size(), 1u) << w.err;
    std::string backup = slurp(backups[0]), read = slurp(dir.file("before.txt"));
    for (size_t at = read.find("false,"); at != std::string::npos; at = read.find("false,", at))
        read.replace(at, 6, "true,");
    EXPECT_EQ(backup, read) << "the backup is the read of before, ticked";
    std::vector<std::string> differing;
    for (const std::string& l : lines(w.err))
        if (l.find("the radio holds") != std::string::npos)
            differing.push_back(l.substr(0, 7));
    EXPECT_EQ(differing, (std::vector<std::string>(3, "Mem 12 ")));
    EXPECT_EQ(lines(w.err).back(), "5 Memory Locations Writen, 1 differs from its row");
    EXPECT_NE(w.err.find("Backup of 5 memories before writing: " + backups[0]), std::string::npos);

    // The way back, with the radio storing what it is told again.
    radio.reset();
    startRadio(slurp(dir.file("memories.txt")));
    Result r = cli({"restore", "--fast", "--no-backup"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Restoring " + backups[0]), std::string::npos) << r.err;
    EXPECT_EQ(lines(r.err).back(), "5 Memory Locations Writen, 0 differ from their rows");
    Result after =
        cli({"read", "--fast", "--first", "10", "--last", "14", "-o", dir.file("after.txt")});
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(slurp(dir.file("after.txt")), slurp(dir.file("before.txt")));
    EXPECT_EQ(lines(slurp(dir.file("after.txt")))[3], "false,Mem 13, , , , , , , \r");

    // A named backup goes where it is told; the default one is still the only one in bin/.
    Result named = cli({"restore", "--fast", "--backup", dir.file("mine.txt"), backups[0]});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(slurp(dir.file("mine.txt")), read);
}
