// The memvane-radio command as a user or a script runs it.

#include "sim/SimFrame.h"

#include "tests/sim/PtyClient.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace memvane::sim;
using namespace memvane::test;
namespace fs = std::filesystem;

namespace {

const std::string kExe = MEMVANE_RADIO_EXE;

std::string ask(PtyClient& client, const std::string& bodyHex, std::size_t replyBytes,
                const std::string& to = "58")
{
    std::string f = fromHex("FEFE" + to + "E0" + bodyHex + "FD");
    client.write(f);
    std::string got = toHex(client.readUntil(f.size() + replyBytes));
    return got.substr(std::min(got.size(), f.size() * 2)); // without the echo
}

} // namespace

TEST(MemvaneRadio, LinkMemoriesLogAdvertAndCleanExit)
{
    TempDir dir;
    std::string link = dir.file("radio");
    std::string memories = dir.file("memories.txt");
    std::string log = dir.file("frames.log");
    fs::create_directory(dir.file("run"));
    std::ofstream(memories) << "12 145.600000 FM Narrow 145.000000 FM Narrow off - 0.6\n";

    Child radio({kExe, "--link", link, "--memories", memories, "--log", log},
                {"XDG_RUNTIME_DIR=" + dir.file("run")});
    std::string slave = radio.line();
    ASSERT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave << radio.errors();
    EXPECT_EQ(fs::read_symlink(link), slave);

    std::string advert = dir.file("run/memvane-radio/" + std::to_string(radio.pid()));
    EXPECT_EQ(slurp(advert), link + "\n" + slave + "\n");

    {
        PtyClient client(link);
        // Memory 12 came from the file.
        EXPECT_EQ(ask(client, "080012", 6), "FEFEE058FBFD");
        EXPECT_EQ(ask(client, "08", 6), "FEFEE058FBFD");
        EXPECT_EQ(ask(client, "03", 11), "FEFEE058030000604501FD");
        EXPECT_EQ(ask(client, "04", 8), "FEFEE058040502FD");
        // Store VFO A in memory 2B, which is blank: its selection is answered NG, yet made;
        // the file follows.
        EXPECT_EQ(ask(client, "0700", 6), "FEFEE058FBFD");
        EXPECT_EQ(ask(client, "080103", 6), "FEFEE058FAFD");
        EXPECT_EQ(ask(client, "09", 6), "FEFEE058FBFD");
        EXPECT_TRUE(eventually([&] {
            return slurp(memories).find("\n2B 14.195000 USB Normal") != std::string::npos;
        })) << slurp(memories);
    }

    ::kill(radio.pid(), SIGTERM);
    EXPECT_EQ(radio.wait(), 0) << radio.errors();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "link removed";
    EXPECT_FALSE(fs::exists(advert)) << "advertisement removed";
    std::string saved = slurp(memories);
    EXPECT_NE(saved.find("\n12 145.600000 FM Narrow 145.000000 FM Narrow off - 0.6000\n"),
              std::string::npos)
        << saved;
    EXPECT_NE(saved.find("\n2B "), std::string::npos) << saved;
    std::string frames = slurp(log);
    EXPECT_EQ(frames.substr(0, 30), "FEFE58E0080012FD\nFEFE58E008FD\n");
}

TEST(MemvaneRadio, BadMemoriesFileIsReportedAndKept)
{
    TempDir dir;
    std::string memories = dir.file("memories.txt");
    const std::string text = "12 145.6 FM Narrow 145.0 FM Narrow off - 0.6\n13 145.6 FM\n";
    std::ofstream(memories) << text;
    Child radio({kExe, "--memories", memories});
    EXPECT_EQ(radio.wait(), 1);
    EXPECT_NE(radio.errors().find(memories + ":2: expected 10 fields"), std::string::npos);
    EXPECT_EQ(slurp(memories), text) << "nothing saved over a file that could not be read";
}

TEST(MemvaneRadio, MissingMemoriesFileIsCreated)
{
    TempDir dir;
    std::string memories = dir.file("new.txt");
    Child radio({kExe, "--memories", memories}, {"XDG_RUNTIME_DIR="});
    std::string slave = radio.line();
    ASSERT_FALSE(slave.empty());
    EXPECT_TRUE(fs::exists(memories));
    // Without XDG_RUNTIME_DIR the port list finds the radio under /tmp.
    std::string advert =
        "/tmp/memvane-radio-" + std::to_string(::getuid()) + "/" + std::to_string(radio.pid());
    EXPECT_EQ(slurp(advert), slave + "\n");
    ::kill(radio.pid(), SIGINT);
    EXPECT_EQ(radio.wait(), 0);
    EXPECT_FALSE(fs::exists(advert));
    EXPECT_EQ(slurp(memories).rfind("# memvane-radio memories\n", 0), 0u);
}

TEST(MemvaneRadio, AddressAndFaultSwitches)
{
    Child radio({kExe, "--address", "4E", "--refuse", "0A@7", "--garbage", "--transceive",
                 "--delay-ms", "1"});
    std::string slave = radio.line();
    ASSERT_FALSE(slave.empty()) << radio.errors();
    PtyClient client(slave);
    const std::string garbage = "0055AA13FE3700";

    client.write(fromHex("FEFE58E008FD"));
    EXPECT_EQ(toHex(client.echoAndRest(6)), "FEFE58E008FD") << "nobody at 58";

    EXPECT_EQ(ask(client, "0700", 7 + 6, "4E"), garbage + "FEFEE04EFBFD");
    // Memories 7 and 8 are blank (their selection answered NG, yet made) until the stores;
    // memory to VFO is refused on 7 only.
    EXPECT_EQ(ask(client, "080007", 7 + 6, "4E"), garbage + "FEFEE04EFAFD");
    EXPECT_EQ(ask(client, "09", 7 + 6, "4E"), garbage + "FEFEE04EFBFD");
    EXPECT_EQ(ask(client, "0A", 7 + 6, "4E"), garbage + "FEFEE04EFAFD");
    EXPECT_EQ(ask(client, "080008", 7 + 6, "4E"), garbage + "FEFEE04EFAFD");
    EXPECT_EQ(ask(client, "09", 7 + 6, "4E"), garbage + "FEFEE04EFBFD");
    EXPECT_EQ(ask(client, "0A", 7 + 6, "4E"), garbage + "FEFEE04EFBFD");
    // Transceive: a change of frequency is broadcast after the answer.
    EXPECT_EQ(ask(client, "050000504501", 7 + 6 + 11, "4E"),
              garbage + "FEFEE04EFBFD" + "FEFE004E000000504501FD");
}

TEST(MemvaneRadio, SilentAndLate)
{
    {
        Child radio({kExe, "--silent"});
        PtyClient client(radio.line());
        client.write(fromHex("FEFE58E008FD"));
        EXPECT_EQ(toHex(client.echoAndRest(6)), "FEFE58E008FD");
    }
    {
        Child radio({kExe, "--late-ms", "300"});
        PtyClient client(radio.line());
        const auto written = std::chrono::steady_clock::now();
        client.write(fromHex("FEFE58E008FD"));
        std::this_thread::sleep_for(45ms);
        std::string inTime = client.readNow();
        EXPECT_LE(inTime.size(), 6u)
            << "no answer within the wait" << busyMachineNote(written, 300);
        EXPECT_EQ(toHex(inTime + client.readUntil(12 - inTime.size(), 5s)), "FEFE58E008FD"
                                                                            "FEFEE058FBFD");
    }
}

TEST(MemvaneRadio, CommandsOnStandardInput)
{
    Child radio({kExe, "--transceive"});
    std::string slave = radio.line();
    ASSERT_FALSE(slave.empty());
    {
        PtyClient client(slave);
        radio.input("f 7.1\n");
        EXPECT_EQ(toHex(client.readUntil(11)), "FEFE0058000000100700FD");
        radio.input("m CW Narrow\n");
        EXPECT_EQ(toHex(client.readUntil(8)), "FEFE0058010302FD");
        radio.input("b\n");
        EXPECT_EQ(toHex(client.readUntil(19)), "FEFE0058000000100700FD"
                                               "FEFE0058010302FD");
        radio.input("nonsense\n");
        radio.input("hangup\n");
        EXPECT_TRUE(client.hungUp());
    }
    radio.input("reopen\n");
    std::string again = radio.line();
    EXPECT_EQ(again.rfind("/dev/pts/", 0), 0u) << "the new path is printed";
    {
        PtyClient client(again);
        EXPECT_EQ(ask(client, "03", 11), "FEFEE058030000100700FD");
    }
    radio.input("quit\n");
    EXPECT_EQ(radio.wait(), 0);
    EXPECT_NE(radio.errors().find("commands:"), std::string::npos) << "help for a bad command";
}

TEST(MemvaneRadio, StandardInputAtEndKeepsRunning)
{
    Child radio({kExe});
    std::string slave = radio.line();
    radio.closeInput();
    EXPECT_EQ(radio.wait(200ms), std::nullopt) << "still running";
    PtyClient client(slave);
    EXPECT_EQ(ask(client, "08", 6), "FEFEE058FBFD");
    ::kill(radio.pid(), SIGTERM);
    EXPECT_EQ(radio.wait(), 0);
}

TEST(MemvaneRadio, HangUpAfterFrames)
{
    TempDir dir;
    std::string link = dir.file("radio");
    Child radio({kExe, "--link", link, "--hangup-after", "2"});
    std::string first = radio.line();
    ASSERT_FALSE(first.empty()) << radio.errors();
    {
        PtyClient client(link);
        EXPECT_EQ(ask(client, "08", 6), "FEFEE058FBFD");
        client.write(fromHex("FEFE58E003FD"));
        EXPECT_TRUE(client.hungUp());
    }
    std::string second = radio.line();
    EXPECT_EQ(second.rfind("/dev/pts/", 0), 0u) << "the new pty is printed";
    EXPECT_EQ(fs::read_symlink(link), second);
    PtyClient client(link);
    EXPECT_EQ(ask(client, "0700", 6), "FEFEE058FBFD");
}

TEST(MemvaneRadio, LineRateWithAndWithoutItsNumber)
{
    for (std::vector<std::string> args : {std::vector<std::string>{kExe, "--line-rate"},
                                          {kExe, "--line-rate", "9600", "--delay-ms", "1"},
                                          {kExe, "--line-rate", "--delay-ms", "1"}}) {
        Child radio(args);
        std::string slave = radio.line();
        ASSERT_FALSE(slave.empty()) << radio.errors();
        PtyClient client(slave);
        EXPECT_EQ(ask(client, "08", 6), "FEFEE058FBFD") << args.size();
    }
}

TEST(MemvaneRadio, UsageAndBadOptions)
{
    {
        Child radio({kExe, "--help"});
        std::string first = radio.line();
        EXPECT_EQ(first, "Usage: memvane-radio [OPTIONS]");
        EXPECT_EQ(radio.wait(), 0);
    }
    for (std::vector<std::string> args : {std::vector<std::string>{kExe, "--address", "59"},
                                          {kExe, "--delay-ms", "fast"},
                                          {kExe, "--line-rate", "20"},
                                          {kExe, "--line-rate", "19200x"},
                                          {kExe, "--line-rate", "fast"},
                                          {kExe, "--refuse", "XY"},
                                          {kExe, "--refuse", "0A@200"},
                                          {kExe, "--frobnicate"},
                                          {kExe, "--link"}}) {
        Child radio(args);
        EXPECT_EQ(radio.wait(), 2) << args[1];
        EXPECT_NE(radio.errors().find("memvane-radio: "), std::string::npos) << args[1];
    }
}
