// The radio on a real pseudo-terminal, reached the way the program reaches a serial port.

#include "sim/PtyRadio.h"

#include "tests/sim/PtyClient.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>

using namespace memvane::sim;
using namespace memvane::test;

namespace {

std::string frame(const std::string& bodyHex, const std::string& to = "58")
{
    return fromHex("FEFE" + to + "E0" + bodyHex + "FD");
}

const std::string OK = "FEFEE058FBFD";
const std::string NG = "FEFEE058FAFD";

// Sends a frame and collects echo plus `replyBytes` bytes of answer.
std::string ask(PtyClient& client, const std::string& bodyHex, std::size_t replyBytes)
{
    std::string f = frame(bodyHex);
    client.write(f);
    return toHex(client.readUntil(f.size() + replyBytes));
}

double cpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace

TEST(PtyRadio, EchoesThenAnswersAndLogs)
{
    TempDir dir;
    PtyRadioOptions o;
    o.logPath = dir.file("frames.log");
    PtyRadio radio(o);
    ASSERT_EQ(radio.slavePath().rfind("/dev/pts/", 0), 0u) << radio.slavePath();
    PtyClient client(radio.slavePath());

    EXPECT_EQ(ask(client, "08", 6), "FEFE58E008FD" + OK);
    EXPECT_EQ(ask(client, "0700", 6), "FEFE58E00700FD" + OK);
    EXPECT_EQ(ask(client, "03", 11), "FEFE58E003FD"
                                     "FEFEE058030050191400FD");
    // A frame for another radio is echoed by the line, and nobody answers.
    client.write(frame("08", "4E"));
    EXPECT_EQ(toHex(client.echoAndRest(6)), "FEFE4EE008FD");

    const std::vector<std::string> expected = {"FEFE58E008FD", "FEFE58E00700FD", "FEFE58E003FD",
                                               "FEFE4EE008FD"};
    ASSERT_TRUE(radio.waitForFrames(4, 3s));
    EXPECT_EQ(radio.frameLog(), expected);
    std::ifstream log(o.logPath);
    std::vector<std::string> lines;
    for (std::string l; std::getline(log, l);)
        lines.push_back(l);
    EXPECT_EQ(lines, expected);

    radio.clearFrameLog();
    EXPECT_TRUE(radio.frameLog().empty());
}

TEST(PtyRadio, ProgramStyleExchanges)
{
    // The program's exchange: purge, write, sleep 45 ms, take what is there. The default delay
    // puts the answer well inside that wait; how long it really takes is measured in bench/, so
    // here a slow machine may complete the answer after the wait.
    PtyRadio radio;
    PtyClient client(radio.slavePath());
    struct Row
    {
        const char* body;
        std::string answer;
    };
    const Row rows[] = {{"08", OK},
                        {"080012", NG}, // blank: NG, selected all the same
                        {"0700", OK},
                        {"03", "FEFEE058030050191400FD"},
                        {"0C", "FEFEE0580C006000FD"},
                        {"04", "FEFEE058040101FD"}};
    for (const auto& row : rows) {
        client.purge();
        std::string f = frame(row.body);
        client.write(f);
        std::this_thread::sleep_for(45ms);
        std::string got = client.readNow();
        std::size_t total = f.size() + row.answer.size() / 2;
        got += client.readUntil(total - std::min(total, got.size()));
        EXPECT_EQ(toHex(got), toHex(f) + row.answer) << row.body;
    }
}

TEST(PtyRadio, FramesInPiecesAndNoiseFromTheClient)
{
    PtyRadio radio;
    PtyClient client(radio.slavePath());
    std::string noisy = fromHex("0013") + frame("0701");
    std::string got;
    for (std::size_t i = 0; i < noisy.size(); ++i) {
        client.write(noisy.substr(i, 1));
        while (got.size() <= i) {
            std::string more = client.readUntil(1);
            if (more.empty())
                break;
            got += more;
        }
    }
    got += client.readUntil(noisy.size() + 6 - std::min(got.size(), noisy.size() + 6));
    EXPECT_EQ(toHex(got), toHex(noisy) + OK) << "every byte comes back, noise too; then the answer";
    EXPECT_TRUE(radio.withModel([](RadioModel& m) { return m.currentVfo() == Vfo::B; }));
}

TEST(PtyRadio, SilenceRefusalLateAndGarbage)
{
    PtyRadio radio;
    PtyClient client(radio.slavePath());

    radio.setSilent(true);
    client.write(frame("08"));
    EXPECT_EQ(toHex(client.echoAndRest(6)), "FEFE58E008FD") << "echo only";
    radio.setSilent(false);

    radio.refuse({fromHex("0F01"), 0, -1});
    EXPECT_EQ(ask(client, "0F01", 6), "FEFE58E00F01FD" + NG);
    EXPECT_EQ(ask(client, "0F00", 6), "FEFE58E00F00FD" + OK);
    radio.clearRefusals();
    EXPECT_EQ(ask(client, "0F01", 6), "FEFE58E00F01FD" + OK);

    radio.setLateMs(400);
    client.purge();
    const auto written = std::chrono::steady_clock::now();
    client.write(frame("0700"));
    std::this_thread::sleep_for(45ms);
    std::string inTime = client.readNow();
    EXPECT_LE(inTime.size(), 7u) << "nothing but the echo within the wait"
                                 << busyMachineNote(written, 400);
    EXPECT_EQ(toHex(inTime + client.readUntil(13 - inTime.size(), 5s)), "FEFE58E00700FD" + OK)
        << "the answer comes later";
    radio.setLateMs(0);

    radio.setGarbage(true);
    EXPECT_EQ(ask(client, "08", PtyRadio::kGarbage.size() + 6),
              "FEFE58E008FD" + toHex(PtyRadio::kGarbage) + OK);
    radio.setGarbage(false);
}

// At a line rate every byte takes its ten bits' time: the echo of the six-byte command, the
// 5 ms delay and the eleven bytes of the answer cannot come sooner than 17 x 8.33 ms + 5 ms at
// 1200 bit/s (a busy machine only makes them later), and they come whole and in order, with a
// broadcast queued behind the answer on the one line.
TEST(PtyRadio, LineRatePacesEchoAnswerAndBroadcasts)
{
    PtyRadioOptions o;
    o.lineRate = 1200;
    PtyRadio radio(o);
    PtyClient client(radio.slavePath());
    radio.setTransceive(true);
    const auto written = std::chrono::steady_clock::now();
    client.write(frame("050000504501"));
    std::string got = client.readUntil(12 + 6 + 11, 10s);
    auto took = std::chrono::steady_clock::now() - written;
    EXPECT_EQ(toHex(got), "FEFE58E0050000504501FD" + OK + "FEFE0058000000504501FD")
        << "echo, answer, then the broadcast of the new frequency";
    EXPECT_GE(took, std::chrono::microseconds((12 + 6 + 11) * 10'000'000LL / 1200 + 5'000));

    const auto second = std::chrono::steady_clock::now();
    client.write(frame("03"));
    EXPECT_EQ(toHex(client.readUntil(17, 10s)), "FEFE58E003FD"
                                                "FEFEE058030000504501FD");
    EXPECT_GE(std::chrono::steady_clock::now() - second,
              std::chrono::microseconds(17 * 10'000'000LL / 1200 + 5'000));
}

TEST(PtyRadio, Broadcasts)
{
    PtyRadio radio;
    PtyClient client(radio.slavePath());
    radio.broadcastFrequency();
    EXPECT_EQ(toHex(client.readUntil(11)), "FEFE0058000050191400FD");
    radio.broadcastMode();
    EXPECT_EQ(toHex(client.readUntil(8)), "FEFE0058010101FD");

    radio.setTransceive(true);
    EXPECT_EQ(ask(client, "050000504501", 6 + 11),
              "FEFE58E0050000504501FD" + OK + "FEFE0058000000504501FD");
    radio.tune(145'550'000);
    EXPECT_EQ(toHex(client.readUntil(11)), "FEFE0058000000554501FD");
    radio.selectMode(kModeFm, kFilterNarrow);
    EXPECT_EQ(toHex(client.readUntil(8)), "FEFE0058010502FD");
    radio.send(fromHex("0102"));
    EXPECT_EQ(toHex(client.readUntil(2)), "0102");
}

TEST(PtyRadio, HangUpAndReopen)
{
    TempDir dir;
    PtyRadioOptions o;
    o.linkPath = dir.file("radio");
    PtyRadio radio(o);
    EXPECT_EQ(std::filesystem::read_symlink(o.linkPath), radio.slavePath());
    EXPECT_EQ(radio.portPath(), o.linkPath);
    std::string first = radio.slavePath();
    std::string reopened;
    radio.setReopenCallback([&](const std::string& slave) { reopened = slave; });

    {
        PtyClient client(o.linkPath);
        radio.hangUp(false);
        EXPECT_TRUE(radio.hungUp());
        EXPECT_TRUE(client.hungUp()) << "the client sees the line go";
        EXPECT_EQ(radio.slavePath(), "");
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(o.linkPath)))
            << "no link to a dead pty";
        EXPECT_TRUE(reopened.empty());
    }

    radio.reopen();
    EXPECT_FALSE(radio.hungUp());
    EXPECT_EQ(reopened, radio.slavePath());
    EXPECT_EQ(std::filesystem::read_symlink(o.linkPath), radio.slavePath());
    {
        PtyClient client(o.linkPath);
        EXPECT_EQ(ask(client, "08", 6), "FEFE58E008FD" + OK);

        radio.hangUp(true); // unplugged and plugged in again at once
        EXPECT_TRUE(client.hungUp());
    }
    EXPECT_FALSE(radio.hungUp());
    EXPECT_EQ(std::filesystem::read_symlink(o.linkPath), radio.slavePath());
    PtyClient client(o.linkPath);
    EXPECT_EQ(ask(client, "0700", 6), "FEFE58E00700FD" + OK);
    (void)first;
}

TEST(PtyRadio, HangUpInTheMiddleOfAnExchange)
{
    TempDir dir;
    PtyRadioOptions o;
    o.linkPath = dir.file("radio");
    PtyRadio radio(o);
    radio.hangUpAfter(3, true);
    {
        PtyClient client(o.linkPath);
        EXPECT_EQ(ask(client, "08", 6), "FEFE58E008FD" + OK);
        EXPECT_EQ(ask(client, "080012", 6), "FEFE58E0080012FD" + NG); // blank
        client.write(frame("09"));
        EXPECT_TRUE(client.hungUp()) << "the line goes instead of the answer";
    }
    EXPECT_TRUE(eventually([&] { return !radio.hungUp(); })) << "and comes back at once";
    EXPECT_EQ(radio.frameLog().size(), 3u);
    PtyClient client(o.linkPath);
    EXPECT_EQ(ask(client, "0700", 6), "FEFE58E00700FD" + OK);
    EXPECT_EQ(ask(client, "03", 11), "FEFE58E003FDFEFEE058030050191400FD")
        << "nothing else hangs up: the count is used up";
}

TEST(PtyRadio, LinkIsOursOnly)
{
    TempDir dir;
    PtyRadioOptions o;
    o.linkPath = dir.file("radio");
    {
        PtyRadio radio(o);
        EXPECT_TRUE(std::filesystem::is_symlink(o.linkPath));
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(o.linkPath)))
        << "removed with the radio";

    std::ofstream(o.linkPath) << "precious\n";
    EXPECT_THROW(PtyRadio{o}, std::system_error) << "a regular file is never replaced";
    std::ifstream in(o.linkPath);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "precious");

    PtyRadioOptions badLog;
    badLog.logPath = dir.file("no-such-folder/frames.log");
    EXPECT_THROW(PtyRadio{badLog}, std::system_error);
}

TEST(PtyRadio, MemoryWriteCallback)
{
    PtyRadio radio;
    std::atomic<int> writes{0};
    radio.setMemoryWriteCallback([&] { ++writes; });
    PtyClient client(radio.slavePath());
    EXPECT_EQ(ask(client, "080033", 6), "FEFE58E0080033FD" + NG) << "blank, selected all the same";
    EXPECT_EQ(writes.load(), 0);
    EXPECT_EQ(ask(client, "09", 6), "FEFE58E009FD" + OK);
    EXPECT_TRUE(eventually([&] { return writes.load() == 1; }));
    EXPECT_TRUE(radio.withModel([](RadioModel& m) { return m.memory(33).has_value(); }));
}

TEST(PtyRadio, IdleRadioDoesNotSpin)
{
    // Hang guard against a busy loop: a radio with nobody attached, one with a client, and one
    // hung up must all sleep in poll(). Half a second of idling may cost a few ms of CPU, not
    // hundreds.
    PtyRadio idle;
    PtyRadio attached;
    PtyClient client(attached.slavePath());
    PtyRadio hung;
    hung.hangUp(false);
    {
        PtyClient gone(idle.slavePath()); // a client that came and went
    }
    double before = cpuSeconds();
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(cpuSeconds() - before, 0.2);
}
