// The component on real pseudo-terminals through the POSIX backend: bytes unchanged both ways,
// the immediate read, the write timeout, purging, exclusive open, refusing what is not a
// terminal, line rates, receive events as the program relies on them, and hang-ups.

#include "serial/CPort.h"
#include "serial/ComBackend.h"
#include "serial/MainThreadQueue.h"
#include "serial/posix/Termios2.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace memvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The far end of the line: a pseudo-terminal master; the port opens the slave.
class Pty
{
public:
    Pty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            throw std::runtime_error("no pseudo-terminal");
        m_path = ::ptsname(m_master);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() { closeMaster(); }

    const std::string& path() const { return m_path; }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    void send(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else if (n < 0 && errno == EAGAIN)
                waitFor(POLLOUT, 1000);
            else
                throw std::runtime_error("pty write failed");
        }
    }
    // Reads until `count` bytes came or nothing more arrives for `quietMs`.
    std::string receive(std::size_t count, int quietMs = 300)
    {
        std::string out;
        char buf[4096];
        while (out.size() < count) {
            if (!waitFor(POLLIN, quietMs))
                break;
            ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }

private:
    bool waitFor(short what, int ms)
    {
        pollfd p{m_master, what, 0};
        return ::poll(&p, 1, ms) == 1 && (p.revents & what);
    }
    int m_master = -1;
    std::string m_path;
};

bool within(std::chrono::milliseconds guard, const std::function<bool()>& done)
{
    auto end = Clock::now() + guard;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

void serviceFor(std::chrono::milliseconds span)
{
    auto end = Clock::now() + span;
    while (Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
}

// Waits without servicing events, so no handling can run meanwhile.
void waitQueued(TCustomComPort& port, int count)
{
    auto end = Clock::now() + 5s;
    while (port.InputCount() < count && Clock::now() < end)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(port.InputCount(), count);
}

std::string allBytes()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s.push_back(static_cast<char>(i));
    return s;
}

int codeOf(const std::function<void()>& f, int* winCode = nullptr)
{
    try {
        f();
    } catch (const EComPort& e) {
        if (winCode)
            *winCode = e.WinCode();
        return e.Code();
    }
    return 0;
}

class PtyPort : public ::testing::Test
{
protected:
    void SetUp() override
    {
        port.SetPort(pty.path());
        port.SetBaudRate(br19200);
    }
    std::vector<int> counts; // outlives the port, whose Close may still run a handling
    Pty pty;
    TComPort port;
};

TEST_F(PtyPort, EveryByteValuePassesUnchangedBothWays)
{
    port.Open();
    EXPECT_EQ(port.WriteStr(allBytes()), 256);
    EXPECT_EQ(pty.receive(256), allBytes());

    pty.send(allBytes());
    waitQueued(port, 256);
    std::string s;
    EXPECT_EQ(port.ReadStr(s, 300), 256);
    EXPECT_EQ(s, allBytes());
}

TEST_F(PtyPort, ReadReturnsWhatIsQueuedAndNeverWaits)
{
    port.Open();
    std::string s = "stale";
    EXPECT_EQ(port.ReadStr(s, 200), 0);
    EXPECT_EQ(s, "");
    pty.send("\xFE\xFE\xE0\x58\xFB\xFD");
    waitQueued(port, 6);
    EXPECT_EQ(port.ReadStr(s, 200), 6);
    EXPECT_EQ(s, "\xFE\xFE\xE0\x58\xFB\xFD");
    EXPECT_EQ(port.ReadStr(s, 1), 0);
    EXPECT_EQ(s, "");

    pty.send("abcdef");
    waitQueued(port, 6);
    EXPECT_EQ(port.ReadStr(s, 4), 4);
    EXPECT_EQ(s, "abcd");
    EXPECT_EQ(port.ReadStr(s, 0), 0);
    EXPECT_EQ(port.InputCount(), 2);
}

TEST_F(PtyPort, EmptyWriteSendsNothing)
{
    port.Open();
    EXPECT_EQ(port.WriteStr(""), 0);
    EXPECT_EQ(pty.receive(1, 100), "");
}

TEST_F(PtyPort, WriteToAReaderThatStoppedEndsWithTheWriteTimeout)
{
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(200);
    port.Open();
    const std::string big(4 * 1024 * 1024, 'x');
    int written = port.WriteStr(big); // nobody reads the master: returns when the time is up
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<int>(big.size()));
}

TEST_F(PtyPort, PurgingEachQueue)
{
    port.Open();
    pty.send("incoming");
    waitQueued(port, 8);
    port.WriteStr("outgoing");
    port.ClearBuffer(true, false);
    EXPECT_EQ(port.InputCount(), 0);
    std::string s;
    EXPECT_EQ(port.ReadStr(s, 100), 0);
    EXPECT_EQ(pty.receive(8), "outgoing"); // the transmit side was left alone

    // A pseudo-terminal hands written bytes to the far end at once, so it never holds a
    // transmit queue to discard; purging it must leave the receive queue alone.
    pty.send("incoming");
    waitQueued(port, 8);
    port.ClearBuffer(false, true);
    EXPECT_EQ(port.InputCount(), 8);
    EXPECT_EQ(port.OutputCount(), 0);

    port.ClearBuffer(true, true);
    EXPECT_EQ(port.InputCount(), 0);
    pty.send("more");
    waitQueued(port, 4);
    EXPECT_EQ(port.ReadStr(s, 100), 4);
    EXPECT_EQ(s, "more");
}

TEST_F(PtyPort, SecondOpenOfTheSameDeviceFails)
{
    port.Open();
    TComPort second;
    second.SetPort(pty.path());
    int win = 0;
    EXPECT_EQ(codeOf([&] { second.Open(); }, &win), 1);
    EXPECT_EQ(win, EBUSY);
    EXPECT_FALSE(second.Connected());
    port.Close();
    second.Open();
    EXPECT_TRUE(second.Connected());
}

TEST(PtyRefusal, NamesThatAreNotTerminals)
{
    test::TempDir dir;
    const std::string file = dir.file("ComPort.ini");
    std::ofstream(file) << "[ComPort1]\n";
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& name : {file, dir.path().string(), fifo, std::string("/dev/null")}) {
        TComPort port;
        port.SetPort(name);
        int win = 0;
        try {
            port.Open();
            ADD_FAILURE() << "opened " << name;
        } catch (const EComPort& e) {
            EXPECT_EQ(e.Code(), 1) << name;
            EXPECT_EQ(e.WinCode(), ENOTTY) << name;
            EXPECT_NE(e.Detail().find("not a serial port"), std::string::npos) << e.Detail();
            win = e.WinCode();
        }
        EXPECT_EQ(win, ENOTTY);
        EXPECT_FALSE(port.Connected());
        EXPECT_EQ(port.WriteStr(""), 0);
    }
    std::ifstream in(file);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "[ComPort1]\n");
    // Nobody opened the FIFO for reading.
    int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    EXPECT_EQ(w, -1);
    EXPECT_EQ(errno, ENXIO);
}

TEST(PtyRefusal, MissingDeviceSaysWhich)
{
    TComPort port;
    port.SetPort("/dev/memvane-no-such-tty");
    try {
        port.Open();
        ADD_FAILURE();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 1);
        EXPECT_EQ(e.WinCode(), ENOENT);
        EXPECT_EQ(e.message(),
                  "COM Port Error: Unable to open com port on /dev/memvane-no-such-tty");
        EXPECT_NE(e.Detail().find("/dev/memvane-no-such-tty"), std::string::npos);
    }
}

TEST_F(PtyPort, LineRatesReachTheDevice)
{
    port.Open();
    struct termios t
    {
    };
    ASSERT_EQ(::tcgetattr(static_cast<int>(port.Handle()), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    for (auto [rate, expected] : {std::pair{br14400, 14400u}, std::pair{br256000, 256000u}}) {
        port.SetBaudRate(rate);
        std::uint32_t in = 0, out = 0;
        ASSERT_EQ(posix::GetBaudRates(static_cast<int>(port.Handle()), in, out), 0);
        EXPECT_EQ(out, expected);
        EXPECT_EQ(in, expected);
    }
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(31250);
    std::uint32_t in = 0, out = 0;
    ASSERT_EQ(posix::GetBaudRates(static_cast<int>(port.Handle()), in, out), 0);
    EXPECT_EQ(out, 31250u);
    // No line runs at 0 baud (and B0 would hang the line up).
    EXPECT_EQ(codeOf([&] { port.SetCustomBaudRate(0); }), 7);
    EXPECT_TRUE(port.Connected());
}

TEST_F(PtyPort, ZeroRateIsRefused)
{
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(0);
    EXPECT_EQ(codeOf([&] { port.Open(); }), 7);
    EXPECT_FALSE(port.Connected());
}

TEST_F(PtyPort, DiscardNullDropsNulBytes)
{
    port.SetDiscardNull(true);
    port.Open();
    pty.send(std::string("a\0b\0\0c", 6));
    waitQueued(port, 6);
    std::string s;
    EXPECT_EQ(port.ReadStr(s, 10), 3);
    EXPECT_EQ(s, "abc");
}

TEST_F(PtyPort, ReadWithATotalTimeoutTakesWhatCameInTime)
{
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(300);
    port.Open();
    std::jthread sender([&] {
        std::this_thread::sleep_for(20ms);
        pty.send("ab");
    });
    std::string s;
    EXPECT_EQ(port.ReadStr(s, 10), 2); // ends at the deadline with the two bytes
    EXPECT_EQ(s, "ab");
}

TEST_F(PtyPort, CloseEndsAReadThatWouldWaitForever)
{
    port.Timeouts().SetReadInterval(0); // no timeouts at all: wait for all 10 bytes
    port.Open();
    TCPortAsync rec;
    std::string s;
    port.ReadStrAsync(s, 10, &rec);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(port.IsAsyncCompleted(&rec));
    port.Close();
    EXPECT_TRUE(port.IsAsyncCompleted(&rec));
    EXPECT_EQ(codeOf([&] { port.WaitForAsync(&rec); }), 3);
}

TEST_F(PtyPort, DroppingARecordEndsItsEndlessTransfer)
{
    port.Timeouts().SetReadInterval(0);
    port.Open();
    {
        TCPortAsync rec;
        std::string s;
        port.ReadStrAsync(s, 10, &rec);
    } // must not wait for ten bytes that never come
    EXPECT_TRUE(port.Connected());
    pty.send("ok");
    waitQueued(port, 2); // the port still reads
}

TEST_F(PtyPort, OnRxCharOncePerArrivalWithItsCount)
{
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        counts.push_back(count);
        std::string s;
        sender->ReadStr(s, count);
    };
    port.Open();
    pty.send("abc");
    ASSERT_TRUE(within(5s, [&] { return counts.size() == 1; }));
    serviceFor(100ms);
    pty.send("de");
    ASSERT_TRUE(within(5s, [&] { return counts.size() == 2; }));
    serviceFor(100ms);
    EXPECT_EQ(counts, (std::vector<int>{3, 2}));
}

TEST_F(PtyPort, NoOnRxCharWhenAnExchangeTookTheBytes)
{
    port.OnRxChar = [&](TCustomComPort*, int count) { counts.push_back(count); };
    port.Open();
    port.ClearBuffer(true, true);
    port.WriteStr("\xFE\xFE\x58\xE0\x03\xFD");
    pty.send(std::string("\xFE\xFE\xE0\x58\x03\x00\x50\x45\x01\x00\xFD", 11));
    waitQueued(port, 11);
    std::string s;
    EXPECT_EQ(port.ReadStr(s, 200), 11);
    serviceFor(200ms);
    EXPECT_TRUE(counts.empty());
}

TEST_F(PtyPort, HandlerThatLeavesBytesIsNotCalledAgainForThem)
{
    port.OnRxChar = [&](TCustomComPort*, int count) { counts.push_back(count); };
    port.Open();
    pty.send("abc");
    ASSERT_TRUE(within(5s, [&] { return counts.size() == 1; }));
    serviceFor(300ms);
    EXPECT_EQ(counts, std::vector<int>{3});
    pty.send("d");
    ASSERT_TRUE(within(5s, [&] { return counts.size() == 2; }));
    EXPECT_EQ(counts, (std::vector<int>{3, 4}));
}

TEST_F(PtyPort, CloseRunsTheQueuedHandlingThenDiscardsTheBytes)
{
    bool connected = false;
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        connected = sender->Connected();
        counts.push_back(count);
    };
    port.Open();
    const int before = mainthread::Pending();
    pty.send("queued");
    waitQueued(port, 6);
    ASSERT_TRUE(test::waitFor([before] { return mainthread::Pending() > before; }))
        << "the event thread never handed its handling over";
    EXPECT_TRUE(counts.empty());
    port.Close();
    EXPECT_EQ(counts, std::vector<int>{6});
    EXPECT_TRUE(connected);
    port.OnRxChar = nullptr;
    port.Open();
    EXPECT_EQ(port.InputCount(), 0);
}

TEST_F(PtyPort, HandlerErrorStopsDeliveryUntilReopen)
{
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        counts.push_back(count);
        std::string s;
        sender->ReadStr(s, count);
        throw std::runtime_error("broken handler");
    };
    port.Open();
    pty.send("a");
    ASSERT_TRUE(within(5s, [&] { return port.EventThread()->Finished(); }));
    pty.send("b");
    serviceFor(200ms);
    EXPECT_EQ(counts, std::vector<int>{1});
    port.Close();
    port.Open();
    pty.send("c");
    ASSERT_TRUE(within(5s, [&] { return counts.size() == 2; }));
}

double processCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

int threadCount()
{
    int n = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

TEST_F(PtyPort, HangUpClosesThePortWithoutSpinningAndTheSameNameOpensAgain)
{
    // The name the user chose stays; what it points to changes, as /dev/serial/by-id/ does.
    test::TempDir dir;
    const std::string link = dir.file("radio");
    std::filesystem::create_symlink(pty.path(), link);
    port.SetPort(link);
    port.Open();
    ASSERT_NE(port.EventThread(), nullptr);
    const int threadsOpen = threadCount();
    const double cpuBefore = processCpuMs();
    const auto wallBefore = Clock::now();
    pty.closeMaster(); // the far end goes away, as a pulled USB adapter does
    ASSERT_TRUE(within(5s, [&] { return !port.Connected(); }));
    EXPECT_EQ(port.EventThread(), nullptr);
    // A joined thread may linger in /proc for a moment; a leaked one stays.
    EXPECT_TRUE(within(5s, [&] { return threadCount() <= threadsOpen - 1; })) << threadCount();
    std::this_thread::sleep_for(300ms);
    const double cpu = processCpuMs() - cpuBefore;
    const double wall =
        std::chrono::duration<double, std::milli>(Clock::now() - wallBefore).count();
    EXPECT_LT(cpu, wall / 2) << "cpu " << cpu << " ms in " << wall << " ms";

    // Back under the same name: the next open finds it, nothing else changed.
    Pty back;
    std::filesystem::remove(link);
    std::filesystem::create_symlink(back.path(), link);
    port.SetConnected(true);
    EXPECT_EQ(port.WriteStr("x"), 1);
    EXPECT_EQ(back.receive(1), "x");
    EXPECT_EQ(port.Port(), link);
}
TEST_F(PtyPort, SettingsReachTheTerminal)
{
    // A pseudo-terminal always runs 8 data bits without parity, so those are checked on the
    // termios mapping alone; stop bits and XON/XOFF show here.
    port.SetStopBits(sbTwoStopBits);
    port.FlowControl().SetFlowControl(fcSoftware);
    port.Open();
    struct termios t
    {
    };
    ASSERT_EQ(::tcgetattr(static_cast<int>(port.Handle()), &t), 0);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    // A change while open reaches the device at once.
    port.FlowControl().SetFlowControl(fcNone);
    port.SetStopBits(sbOneStopBit);
    ASSERT_EQ(::tcgetattr(static_cast<int>(port.Handle()), &t), 0);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
}

} // namespace
} // namespace memvane
