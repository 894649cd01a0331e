// The Win32 backend under wine, on a COM port that the prefix maps onto a Linux pty whose other
// end is tests/wine/pty_peer.cpp (MEMVANE_TEST_PORT names the port, MEMVANE_PEER the peer's
// 127.0.0.1:port). The modem lines come from the preloaded shim (tests/wine/pty_modem_shim.c).
// What is checked holds on Windows as well: the peer sees the line as the port set it up.
#include "serial/CPort.h"
#include "serial/MainThreadQueue.h"
#include "serial/PortEnumerator.h"
#include "serial/win32/Win32Backend.h"
#include "tests/support/WaitFor.h"
#include "tests/support/win32/PtyPeerClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace memvane::test {
namespace {

using Peer = PtyPeerClient;

// TIOCM_* bits as the peer and the shim write them.
constexpr int kDtr = 0x002, kRts = 0x004, kCts = 0x020, kCd = 0x040, kRi = 0x080, kDsr = 0x100;

class Win32PortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        portName = envText("MEMVANE_TEST_PORT");
        if (portName.empty() || !peer.ok())
            GTEST_SKIP() << "no mapped COM port (MEMVANE_TEST_PORT, MEMVANE_PEER)";
        ASSERT_EQ(peer.ask("reopen"), "ok"); // a fresh line for every test
        port.SetPort(portName);
        port.SetBaudRate(br19200);
        port.SetEvents({});
    }
    void TearDown() override { port.Close(); }

    std::string portName;
    Peer peer;
    TComPort port{"ComPort1"};
};

TEST(Win32PortNames, ComNamesAsWindowsUsersTypeThem)
{
    EXPECT_EQ(win32::PortNameToDevicePath("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(win32::PortNameToDevicePath("com12"), "\\\\.\\COM12");
    EXPECT_EQ(win32::PortNameToDevicePath("COM256"), "\\\\.\\COM256");
    EXPECT_EQ(win32::PortNameToDevicePath("\\\\.\\CNCA0"), "\\\\.\\CNCA0");
    EXPECT_EQ(win32::PortNameToDevicePath("CNCB0"), "\\\\.\\CNCB0");
}

// The test's port is registered (HKLM\\Software\\Wine\\Ports), so the system lists it under
// HARDWARE\\DEVICEMAP\\SERIALCOMM beside whatever else the prefix has.
TEST(Win32PortList, RegistryListsTheMappedPortSorted)
{
    const std::string mapped = envText("MEMVANE_TEST_PORT");
    if (mapped.empty())
        GTEST_SKIP() << "no mapped COM port (MEMVANE_TEST_PORT)";
    std::vector<std::string> ports = SystemSerialPorts();
    EXPECT_NE(std::find(ports.begin(), ports.end(), mapped), ports.end());
    std::vector<std::string> sorted = ports;
    SortPortNames(sorted);
    EXPECT_EQ(ports, sorted);
}

TEST(Win32Open, MissingPortIsCodeOneNamingIt)
{
    TComPort port("ComPort1");
    port.SetPort("COM199");
    try {
        port.Open();
        FAIL() << "opened COM199";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 1);
        EXPECT_EQ(e.WinCode(), 2); // ERROR_FILE_NOT_FOUND
        EXPECT_EQ(std::string(e.what()).rfind("COM Port Error: Unable to open com port on COM199", 0), 0u)
            << e.what();
        EXPECT_NE(e.Detail().find("cannot open COM199: there is no such port"), std::string::npos)
            << e.Detail();
    }
    EXPECT_FALSE(port.Connected());
}

TEST(Win32Open, DeviceThatIsNoSerialPortIsRefused)
{
    TComPort port("ComPort1");
    port.SetPort("NUL");
    try {
        port.Open();
        FAIL() << "opened NUL as a port";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 1);
        EXPECT_EQ(e.Detail(), "cannot open NUL: not a serial port");
    }
    EXPECT_FALSE(port.Connected());
}

// What a Linux pty can hold: it refuses parity and keeps 8 data bits whatever it is told.
TEST_F(Win32PortTest, LineSettingsReachTheLine)
{
    port.Open();
    EXPECT_EQ(peer.stty(), "19200 8N1 raw -crtscts -ixon -ixoff");
    port.BeginUpdate();
    port.SetBaudRate(br9600);
    port.SetStopBits(sbTwoStopBits);
    port.FlowControl().SetFlowControl(fcHardware);
    EXPECT_EQ(peer.stty(), "19200 8N1 raw -crtscts -ixon -ixoff"); // not before the block ends
    port.EndUpdate();
    EXPECT_EQ(peer.stty(), "9600 8N2 raw crtscts -ixon -ixoff");
    port.FlowControl().SetFlowControl(fcSoftware);
    EXPECT_EQ(peer.stty(), "9600 8N2 raw -crtscts ixon ixoff");
    port.SetBaudRate(br115200);
    port.SetStopBits(sbOneStopBit);
    port.FlowControl().SetFlowControl(fcNone);
    EXPECT_EQ(peer.stty(), "115200 8N1 raw -crtscts -ixon -ixoff");
}

TEST_F(Win32PortTest, EveryByteValuePassesBothWays)
{
    port.Open();
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(port.WriteStr(all), 256);
    EXPECT_EQ(peer.received(256), hexBytes(all));

    peer.send_(all);
    ASSERT_TRUE(waitFor([&] { return port.InputCount() == 256; })) << port.InputCount();
    std::string got;
    EXPECT_EQ(port.ReadStr(got, 300), 256);
    EXPECT_EQ(hexBytes(got), hexBytes(all));
}

TEST_F(Win32PortTest, ImmediateReadTakesWhatIsQueuedAndNoMore)
{
    port.Open();
    std::string got = "x";
    EXPECT_EQ(port.ReadStr(got, 200), 0); // an empty queue: nothing, at once
    EXPECT_EQ(got, "");
    peer.send_("\xFE\xFE\xE0\x58\xFB\xFD");
    ASSERT_TRUE(waitFor([&] { return port.InputCount() == 6; }));
    EXPECT_EQ(port.ReadStr(got, 200), 6);
    EXPECT_EQ(hexBytes(got), "FEFEE058FBFD");
    EXPECT_EQ(port.ReadStr(got, 1), 0);
    EXPECT_EQ(port.InputCount(), 0);
    EXPECT_EQ(port.OutputCount(), 0);
}

TEST_F(Win32PortTest, ReadTotalTimeoutEndsWithWhatCame)
{
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(300);
    port.Open();
    std::string got = "x";
    EXPECT_EQ(port.ReadStr(got, 10), 0); // the time is up: no bytes, no error
    EXPECT_EQ(got, "");
    peer.send_("abc");
    ASSERT_TRUE(waitFor([&] { return port.InputCount() == 3; }));
    EXPECT_EQ(port.ReadStr(got, 10), 3);
    EXPECT_EQ(got, "abc");
}

TEST_F(Win32PortTest, PurgeEmptiesTheReceiveQueue)
{
    port.Open();
    peer.send_("0123456789");
    ASSERT_TRUE(waitFor([&] { return port.InputCount() == 10; }));
    port.ClearBuffer(true, true);
    EXPECT_EQ(port.InputCount(), 0);
    std::string got;
    EXPECT_EQ(port.ReadStr(got, 200), 0);
}

TEST_F(Win32PortTest, ModemLinesBothWays)
{
    port.Open();
    peer.lines(kCts);
    TComSignals s = port.Signals();
    EXPECT_TRUE(s.Contains(csCTS));
    EXPECT_FALSE(s.Contains(csDSR));
    EXPECT_FALSE(s.Contains(csRLSD));
    peer.lines(kDsr | kRi | kCd);
    s = port.Signals();
    EXPECT_FALSE(s.Contains(csCTS));
    EXPECT_TRUE(s.Contains(csDSR));
    EXPECT_TRUE(s.Contains(csRing));
    EXPECT_TRUE(s.Contains(csRLSD));

    port.SetDTR(true);
    port.SetRTS(true);
    EXPECT_EQ(peer.lines() & (kDtr | kRts), kDtr | kRts);
    port.SetDTR(false);
    EXPECT_EQ(peer.lines() & (kDtr | kRts), kRts);
}

TEST_F(Win32PortTest, EventThreadDeliversArrivalsAndLineChanges)
{
    port.SetEvents({evRxChar, evCTS});
    int arrived = 0;
    std::string bytes;
    std::vector<bool> cts;
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        arrived += count;
        std::string got;
        sender->ReadStr(got, count);
        bytes += got;
    };
    port.OnCTSChange = [&](TCustomComPort*, bool on) { cts.push_back(on); };
    struct Unbind
    {
        TComPort& port;
        ~Unbind()
        {
            port.Close();
            port.OnRxChar = nullptr;
            port.OnCTSChange = nullptr;
        }
    } unbind{port};
    peer.lines(kCts | kDsr | kCd);
    port.Open();
    cts.clear(); // the open's own notifications
    peer.send_("hello");
    EXPECT_TRUE(waitFor([&] {
        mainthread::Drain();
        return bytes.size() == 5;
    })) << bytes;
    EXPECT_EQ(bytes, "hello");
    // A change is reported to a wait that is pending when it happens (Windows also keeps one
    // that came between two waits; wine does not), so CTS goes off and on until one is seen.
    int line = kCts;
    for (int i = 0; i < 200 && cts.empty(); ++i) {
        line ^= kCts;
        peer.lines(line | kDsr | kCd);
        waitFor([&] {
            mainthread::Drain();
            return !cts.empty();
        }, std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(cts.empty()) << "no CTS change was delivered";
    EXPECT_EQ(cts.back(), (line & kCts) != 0);
}

TEST_F(Win32PortTest, HangUpFailsTheNextTransferAndTheNameOpensAgain)
{
    port.Open();
    ASSERT_EQ(peer.ask("hangup"), "ok");
    bool failed = false;
    for (int i = 0; i < 3 && !failed; ++i) {
        try {
            std::string got;
            port.WriteStr("ping");
            port.ReadStr(got, 10);
        } catch (const EComPort& e) {
            failed = true;
            EXPECT_TRUE(e.Code() == 2 || e.Code() == 3 || e.Code() == 10) << e.what();
        }
    }
    EXPECT_TRUE(failed) << "the line hung up, yet every transfer succeeded";
    // The radio comes back under the same name: a new open works.
    ASSERT_EQ(peer.ask("reopen"), "ok");
    port.Close();
    port.Open();
    EXPECT_EQ(port.WriteStr("back"), 4);
    EXPECT_EQ(peer.received(4), hexBytes("back"));
}

} // namespace
} // namespace memvane::test
