// The component against the recording fake backend: what reaches the device and when (open,
// close, applies, update blocks, port changes, loading state), the property rules, the value
// objects, the line-settings block, transfers, queries, links and the error codes.

#include "core/ExceptionHandler.h"
#include "serial/CPort.h"
#include "serial/ComBackend.h"
#include "tests/support/FakeComBackend.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace memvane {
namespace {

using test::FakeComBackend;
using Calls = std::vector<std::string>;

const std::vector<std::string> kSetup = {"open", "close", "setupComm", "setCommState",
                                         "setCommTimeouts"};

int codeOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EComPort& e) {
        return e.Code();
    }
    return 0;
}

class PortTest : public ::testing::Test
{
protected:
    std::shared_ptr<FakeComBackend> fake = std::make_shared<FakeComBackend>();
    TComPort port{"ComPort1", fake};
};

TEST_F(PortTest, NewComponentHasItsDesignDefaults)
{
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Name(), "ComPort1");
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.Events(), TComEvents::All());
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_EQ(port.StoredProps(), TStoredProps{spBasic});
    EXPECT_TRUE(port.Overlapped());
    EXPECT_TRUE(port.TriggersOnRxChar());
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    EXPECT_EQ(port.FlowControl().XonChar(), 17);
    EXPECT_EQ(port.FlowControl().XoffChar(), 19);
    EXPECT_EQ(port.Handle(), -1);
    EXPECT_EQ(port.Parity().ComPort(), &port);
    EXPECT_EQ(fake->calls(), Calls{});
}

TEST_F(PortTest, OpenAppliesEverythingOnceInOrder)
{
    port.SetBaudRate(br19200);
    port.Open();
    EXPECT_TRUE(port.Connected());
    EXPECT_NE(port.Handle(), -1);
    EXPECT_EQ(fake->calls(),
              (Calls{"open COM1", "setupComm 1024 1024", "setCommState", "setCommTimeouts",
                     "setCommMask 0x05FF", "getModemStatus", "getModemStatus", "getModemStatus"}));
    TComTimeoutValues t = fake->lastTimeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
    port.Open(); // already open: nothing
    EXPECT_EQ(fake->calls({"open"}).size(), 1u);
}

TEST_F(PortTest, OpenAndCloseNotifyInOrder)
{
    std::vector<std::string> log;
    port.OnBeforeOpen = [&](TCustomComPort*) { log.push_back("BeforeOpen"); };
    port.OnAfterOpen = [&](TCustomComPort*) { log.push_back("AfterOpen"); };
    port.OnBeforeClose = [&](TCustomComPort*) { log.push_back("BeforeClose"); };
    port.OnAfterClose = [&](TCustomComPort*) { log.push_back("AfterClose"); };
    port.OnCTSChange = [&](TCustomComPort*, bool on) {
        log.push_back(std::string("CTS") + (on ? "1" : "0"));
    };
    port.OnDSRChange = [&](TCustomComPort*, bool on) {
        log.push_back(std::string("DSR") + (on ? "1" : "0"));
    };
    port.OnRLSDChange = [&](TCustomComPort*, bool on) {
        log.push_back(std::string("RLSD") + (on ? "1" : "0"));
    };
    TComLink link;
    link.OnConn = [&](TCustomComPort*, bool on) {
        log.push_back(std::string("Conn") + (on ? "1" : "0"));
    };
    port.RegisterLink(&link);
    fake->setModemStatus(MS_CTS_ON | MS_RLSD_ON);
    port.Open();
    EXPECT_EQ(log, (Calls{"BeforeOpen", "Conn1", "AfterOpen", "CTS1", "DSR0", "RLSD1"}));
    log.clear();
    fake->clearCalls();
    port.Close();
    EXPECT_EQ(log, (Calls{"CTS0", "DSR0", "RLSD0", "BeforeClose", "Conn0", "AfterClose"}));
    // Abort transfers, the thread's own closing steps, then the device.
    EXPECT_EQ(fake->calls(),
              (Calls{"purge 0x0003", "setCommMask 0x0000", "purge 0x000C", "close"}));
    EXPECT_FALSE(port.Connected());
    port.Close(); // closed: nothing
    EXPECT_EQ(fake->calls().size(), 4u);
    port.UnRegisterLink(&link);
}

TEST_F(PortTest, OpenFailureIsCode1AndChangesNothing)
{
    fake->failOpen("COM1", ENOENT);
    try {
        port.Open();
        ADD_FAILURE() << "opened";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 1);
        EXPECT_EQ(e.WinCode(), ENOENT);
        EXPECT_EQ(e.message(), "COM Port Error: Unable to open com port on COM1");
        EXPECT_NE(e.Detail().find("COM1"), std::string::npos);
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(fake->calls(), Calls{"open COM1"});
}

TEST_F(PortTest, ApplyFailuresDuringOpenCloseTheDevice)
{
    struct Row
    {
        const char* op;
        int code;
    };
    for (Row r : {Row{"setupComm", 9}, Row{"setCommState", 7}, Row{"setCommTimeouts", 8}}) {
        fake->failOp(r.op, EINVAL);
        EXPECT_EQ(codeOf([&] { port.Open(); }), r.code) << r.op;
        EXPECT_FALSE(port.Connected()) << r.op;
        EXPECT_EQ(fake->openDevices(), 0) << r.op;
        fake->failOp(r.op, 0);
    }
    port.Open();
    EXPECT_TRUE(port.Connected());
}

TEST_F(PortTest, ModemStatusFailureLeavesThePortOpen)
{
    fake->failOp("getModemStatus", EIO);
    EXPECT_EQ(codeOf([&] { port.Open(); }), 11);
    EXPECT_TRUE(port.Connected());
    fake->failOp("getModemStatus", 0);
    port.Close();
    EXPECT_EQ(fake->openDevices(), 0);
}

TEST_F(PortTest, ChangesWhileOpenApplyTheirGroupOnlyWhenDifferent)
{
    port.Open();
    fake->clearCalls();
    port.SetBaudRate(br9600); // same value
    port.Timeouts().SetReadInterval(-1);
    port.Buffer().SetInputSize(1024);
    port.Parity().SetBits(prNone);
    EXPECT_EQ(fake->calls(kSetup), Calls{});

    port.SetBaudRate(br4800);
    port.SetDataBits(dbSeven);
    port.Parity().SetCheck(true);
    port.FlowControl().SetXonChar(1);
    port.SetEventChar('x');
    port.SetDiscardNull(true);
    port.SetStopBits(sbTwoStopBits);
    port.SetCustomBaudRate(1);
    EXPECT_EQ(fake->calls(kSetup), Calls(8, "setCommState"));
    fake->clearCalls();
    port.Timeouts().SetWriteTotalConstant(5);
    port.Buffer().SetOutputSize(64);
    EXPECT_EQ(fake->calls(kSetup), (Calls{"setCommTimeouts", "setupComm 1024 64"}));
    fake->clearCalls();
    // The summary and whole-object assignments apply without comparing.
    port.FlowControl().SetFlowControl(port.FlowControl().FlowControl());
    TComParity parity;
    port.SetParity(parity);
    TComTimeouts timeouts;
    port.SetTimeouts(timeouts);
    TComBuffer buffer;
    port.SetBuffer(buffer);
    TComFlowControl flow;
    port.SetFlowControl(flow);
    EXPECT_EQ(fake->calls(kSetup), (Calls{"setCommState", "setCommState", "setCommTimeouts",
                                          "setupComm 1024 1024", "setCommState"}));
    EXPECT_FALSE(port.Parity().Check());
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
}

TEST_F(PortTest, ChangesWhileClosedWaitForOpen)
{
    port.SetBaudRate(br57600);
    port.Timeouts().SetReadTotalConstant(20);
    EXPECT_EQ(fake->calls(), Calls{});
    port.Open();
    EXPECT_EQ(fake->dcbs().at(0).BaudRate, 57600u);
    EXPECT_EQ(fake->lastTimeouts().ReadTotalTimeoutConstant, 20u);
}

TEST_F(PortTest, ApplyErrorsOnChangesCarryTheirCodes)
{
    port.Open();
    fake->failOp("setCommState", EINVAL);
    EXPECT_EQ(codeOf([&] { port.SetBaudRate(br300); }), 7);
    EXPECT_EQ(port.BaudRate(), br300); // stored all the same
    fake->failOp("setCommTimeouts", EINVAL);
    EXPECT_EQ(codeOf([&] { port.Timeouts().SetReadInterval(5); }), 8);
    fake->failOp("setupComm", EINVAL);
    EXPECT_EQ(codeOf([&] { port.Buffer().SetInputSize(64); }), 9);
    EXPECT_TRUE(port.Connected());
}

TEST_F(PortTest, UpdateBlocksApplyOnceAtTheOutermostEnd)
{
    port.Open();
    fake->clearCalls();
    port.BeginUpdate();
    port.BeginUpdate();
    port.SetBaudRate(br1200);
    port.Parity().SetBits(prEven);
    port.Timeouts().SetReadInterval(10);
    port.Buffer().SetInputSize(256);
    port.EndUpdate();
    EXPECT_EQ(fake->calls(kSetup), Calls{});
    port.EndUpdate();
    EXPECT_EQ(fake->calls(kSetup),
              (Calls{"setupComm 256 1024", "setCommState", "setCommTimeouts"}));
    EXPECT_EQ(fake->dcbs().at(0).BaudRate, 1200u);
    EXPECT_EQ(fake->dcbs().at(0).Parity, 2);
    fake->clearCalls();
    port.EndUpdate(); // no open block: nothing
    EXPECT_EQ(port.UpdateCount(), 0);
    EXPECT_EQ(fake->calls(), Calls{});
}

TEST_F(PortTest, OpenInsideAnUpdateBlockAppliesAtItsEnd)
{
    port.BeginUpdate();
    port.Open();
    EXPECT_EQ(fake->calls(kSetup), Calls{"open COM1"});
    port.EndUpdate();
    EXPECT_EQ(fake->calls(kSetup),
              (Calls{"open COM1", "setupComm 1024 1024", "setCommState", "setCommTimeouts"}));
}

TEST_F(PortTest, PortChangeReopensAtOnceEvenInsideAnUpdateBlock)
{
    port.SetPort("COM1"); // same text: nothing
    port.Open();
    fake->clearCalls();
    port.SetPort("COM1");
    EXPECT_EQ(fake->calls(), Calls{});

    port.BeginUpdate();
    port.SetBaudRate(br38400);
    port.SetPort("COM7");
    EXPECT_EQ(fake->calls(kSetup), (Calls{"close", "open COM7"}));
    EXPECT_TRUE(port.Connected());
    port.EndUpdate();
    EXPECT_EQ(fake->calls(kSetup), (Calls{"close", "open COM7", "setupComm 1024 1024",
                                          "setCommState", "setCommTimeouts"}));
    EXPECT_EQ(fake->dcbs().back().BaudRate, 38400u);

    fake->clearCalls();
    port.SetPort("com7"); // names compare exactly
    EXPECT_EQ(fake->calls(kSetup), (Calls{"close", "open com7", "setupComm 1024 1024",
                                          "setCommState", "setCommTimeouts"}));
}

TEST_F(PortTest, PortChangeWhileClosedOnlyStores)
{
    port.SetPort("/dev/ttyUSB0");
    EXPECT_EQ(port.Port(), "/dev/ttyUSB0");
    EXPECT_EQ(fake->calls(), Calls{});
}

TEST_F(PortTest, PortChangeToAMissingDeviceLeavesItClosedWithTheNewName)
{
    port.Open();
    fake->failOpen("COM9", ENOENT);
    EXPECT_EQ(codeOf([&] { port.SetPort("COM9"); }), 1);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), "COM9");
    EXPECT_EQ(fake->openDevices(), 0);
}

TEST_F(PortTest, PropertiesThatCannotChangeWhileConnected)
{
    port.SetSyncMethod(smNone);
    port.SetEventThreadPriority(tpLower);
    port.SetOverlapped(false);
    port.SetOverlapped(true);
    port.Open();
    try {
        port.SetSyncMethod(smWindowSync);
        ADD_FAILURE();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 14);
        EXPECT_EQ(e.message(), "COM Port Error: Cannot set property while connected");
    }
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.SetSyncMethod(smNone); // same value: no error
    EXPECT_EQ(codeOf([&] { port.SetEventThreadPriority(tpHighest); }), 14);
    EXPECT_EQ(port.EventThreadPriority(), tpLower);
    port.SetOverlapped(false); // ignored while connected
    EXPECT_TRUE(port.Overlapped());
    port.SetEvents({evRxChar}); // stored; used at the next open
    EXPECT_EQ(port.Events(), TComEvents{evRxChar});
    port.Close();
    fake->clearCalls();
    port.Open();
    EXPECT_EQ(fake->calls({"setCommMask"}), Calls{"setCommMask 0x0001"});
}

TEST_F(PortTest, BufferSizesAreKeptEven)
{
    port.Buffer().SetInputSize(4097);
    EXPECT_EQ(port.Buffer().InputSize(), 4096);
    port.Buffer().SetOutputSize(3);
    EXPECT_EQ(port.Buffer().OutputSize(), 2);
    port.Buffer().SetOutputSize(1);
    EXPECT_EQ(port.Buffer().OutputSize(), 0);
    port.Buffer().SetOutputSize(-3); // only positive sizes are adjusted
    EXPECT_EQ(port.Buffer().OutputSize(), -3);
    port.Open();
    TComDCB dcb = fake->dcbs().at(0);
    EXPECT_EQ(dcb.XonLim, 1024);
    EXPECT_EQ(dcb.XoffLim, 1024);
}

TEST(LineSettingsBlock, FieldsFromTheValues)
{
    TComParity parity;
    TComFlowControl flow;
    TComBuffer buffer;
    TComDCB dcb = BuildDCB(br19200, 1234, sbOneStopBit, dbEight, parity, flow, buffer, false, 0);
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.Flags, DCB_fBinary);
    EXPECT_EQ(dcb.XonLim, 256);
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_EQ(dcb.wReserved, 0);
    EXPECT_EQ(dcb.wReserved1, 0);

    dcb = BuildDCB(brCustom, 31250, sbTwoStopBits, dbFive, parity, flow, buffer, true, 'Q');
    EXPECT_EQ(dcb.BaudRate, 31250u);
    EXPECT_EQ(dcb.StopBits, 2);
    EXPECT_EQ(dcb.ByteSize, 5);
    EXPECT_EQ(dcb.EvtChar, 'Q');
    EXPECT_EQ(dcb.Flags, DCB_fBinary | DCB_fNull);
}

TEST(LineSettingsBlock, OneFlagPerValue)
{
    struct Row
    {
        const char* name;
        std::function<void(TComParity&, TComFlowControl&)> set;
        std::uint32_t flags;
    };
    const Row rows[] = {
        {"check", [](TComParity& p, TComFlowControl&) { p.SetCheck(true); }, 0x0002},
        {"replace without check", [](TComParity& p, TComFlowControl&) { p.SetReplace(true); }, 0},
        {"check+replace",
         [](TComParity& p, TComFlowControl&) {
             p.SetCheck(true);
             p.SetReplace(true);
         },
         0x0402},
        {"cts", [](TComParity&, TComFlowControl& f) { f.SetOutCTSFlow(true); }, 0x0004},
        {"dsr", [](TComParity&, TComFlowControl& f) { f.SetOutDSRFlow(true); }, 0x0008},
        {"dtr enable", [](TComParity&, TComFlowControl& f) { f.SetControlDTR(dtrEnable); }, 0x0010},
        {"dtr handshake", [](TComParity&, TComFlowControl& f) { f.SetControlDTR(dtrHandshake); },
         0x0020},
        {"dsr sens", [](TComParity&, TComFlowControl& f) { f.SetDSRSensitivity(true); }, 0x0040},
        {"tx cont", [](TComParity&, TComFlowControl& f) { f.SetTxContinueOnXoff(true); }, 0x0080},
        {"outx", [](TComParity&, TComFlowControl& f) { f.SetXonXoffOut(true); }, 0x0100},
        {"inx", [](TComParity&, TComFlowControl& f) { f.SetXonXoffIn(true); }, 0x0200},
        {"rts enable", [](TComParity&, TComFlowControl& f) { f.SetControlRTS(rtsEnable); }, 0x1000},
        {"rts handshake", [](TComParity&, TComFlowControl& f) { f.SetControlRTS(rtsHandshake); },
         0x2000},
        {"rts toggle", [](TComParity&, TComFlowControl& f) { f.SetControlRTS(rtsToggle); }, 0x3000},
    };
    for (const Row& r : rows) {
        TComParity parity;
        TComFlowControl flow;
        TComBuffer buffer;
        r.set(parity, flow);
        TComDCB dcb = BuildDCB(br9600, 0, sbOneStopBit, dbEight, parity, flow, buffer, false, 0);
        EXPECT_EQ(dcb.Flags, DCB_fBinary | r.flags) << r.name;
        EXPECT_EQ(dcb.Flags & DCB_fAbortOnError, 0u) << r.name;
    }
    // The replacement character travels only when replacing.
    TComParity parity;
    TComFlowControl flow;
    TComBuffer buffer;
    parity.SetReplaceChar('?');
    parity.SetReplace(true);
    EXPECT_EQ(BuildDCB(br9600, 0, sbOneStopBit, dbEight, parity, flow, buffer, false, 0).ErrorChar,
              0);
    parity.SetCheck(true);
    parity.SetBits(prOdd);
    TComDCB dcb = BuildDCB(br9600, 0, sbOneStopBit, dbEight, parity, flow, buffer, false, 0);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.Parity, 1);
}

TEST(FlowControlSummary, ReadAndWrite)
{
    struct Row
    {
        TRTSFlowControl rts;
        bool cts, xin, xout;
        TFlowControl summary;
    };
    const Row rows[] = {
        {rtsHandshake, true, false, false, fcHardware}, {rtsDisable, false, true, true, fcSoftware},
        {rtsDisable, false, false, false, fcNone},      {rtsEnable, false, false, false, fcCustom},
        {rtsHandshake, false, false, false, fcCustom},  {rtsDisable, false, true, false, fcCustom},
        {rtsHandshake, true, true, false, fcCustom},    {rtsDisable, true, false, false, fcCustom},
    };
    for (const Row& r : rows) {
        TComFlowControl f;
        f.SetControlRTS(r.rts);
        f.SetOutCTSFlow(r.cts);
        f.SetXonXoffIn(r.xin);
        f.SetXonXoffOut(r.xout);
        f.SetControlDTR(dtrEnable); // plays no part
        f.SetOutDSRFlow(true);
        EXPECT_EQ(f.FlowControl(), r.summary) << r.rts << r.cts << r.xin << r.xout;
    }
    for (TFlowControl fc : {fcHardware, fcSoftware, fcNone}) {
        TComFlowControl f;
        f.SetControlRTS(rtsToggle);
        f.SetXonXoffIn(true);
        f.SetOutCTSFlow(true);
        f.SetControlDTR(dtrEnable);
        f.SetFlowControl(fc);
        EXPECT_EQ(f.FlowControl(), fc);
        EXPECT_EQ(f.ControlDTR(), dtrEnable);
    }
    TComFlowControl f;
    f.SetControlRTS(rtsToggle);
    f.SetFlowControl(fcCustom);
    EXPECT_EQ(f.ControlRTS(), rtsToggle);
}

TEST_F(PortTest, AssigningValueObjects)
{
    TComParity parity;
    parity.SetBits(prSpace);
    parity.SetCheck(true);
    parity.SetReplace(true);
    parity.SetReplaceChar(7);
    port.Parity().Assign(parity);
    EXPECT_EQ(port.Parity().Bits(), prSpace);
    EXPECT_TRUE(port.Parity().Replace());
    EXPECT_EQ(port.Parity().ReplaceChar(), 7);
    EXPECT_EQ(port.Parity().ComPort(), &port); // the back-reference stays

    TComBuffer buffer;
    buffer.SetInputSize(100);
    port.Buffer().Assign(buffer);
    EXPECT_EQ(port.Buffer().InputSize(), 100);

    try {
        port.Parity().Assign(buffer);
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "Cannot assign a TComBuffer to a TComParity");
    }
    EXPECT_THROW(port.Timeouts().Assign(port.FlowControl()), EConvertError);
    EXPECT_THROW(port.FlowControl().Assign(port.Timeouts()), EConvertError);
    EXPECT_THROW(port.Buffer().Assign(port.Parity()), EConvertError);
}

class HandlerCapture
{
public:
    HandlerCapture()
    {
        SetApplicationExceptionHandler(
            [this](const std::exception& e) { messages.push_back(e.what()); });
    }
    ~HandlerCapture() { SetApplicationExceptionHandler(nullptr); }
    std::vector<std::string> messages;
};

TEST_F(PortTest, LoadingOnlyStoresThenOpensWithTheLoadedValues)
{
    port.BeginLoading();
    port.SetConnected(true);
    port.SetBaudRate(br19200);
    port.SetPort("COM3");
    port.SetSyncMethod(smNone);
    port.Parity().SetBits(prNone);
    port.FlowControl().SetControlDTR(dtrDisable);
    EXPECT_EQ(fake->calls(), Calls{});
    EXPECT_TRUE(port.Connected()); // recorded only
    port.Loaded();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(fake->calls(kSetup),
              (Calls{"open COM3", "setupComm 1024 1024", "setCommState", "setCommTimeouts"}));
    EXPECT_EQ(fake->dcbs().at(0).BaudRate, 19200u);
}

TEST_F(PortTest, LoadingOpenErrorGoesToTheHandlerNotToTheCaller)
{
    HandlerCapture handler;
    fake->failOpen("COM1", ENOENT);
    port.BeginLoading();
    port.SetConnected(true);
    EXPECT_NO_THROW(port.Loaded());
    EXPECT_EQ(handler.messages, Calls{"COM Port Error: Unable to open com port on COM1"});
    EXPECT_FALSE(port.Connected());
    // A later attempt raises the same error to its caller.
    try {
        port.SetConnected(true);
        ADD_FAILURE();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.message(), "COM Port Error: Unable to open com port on COM1");
    }
    EXPECT_EQ(handler.messages.size(), 1u);
}

TEST_F(PortTest, LoadedWithoutConnectedOpensNothing)
{
    port.BeginLoading();
    port.SetBaudRate(br19200);
    port.Loaded();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(fake->calls(), Calls{});
}

TEST_F(PortTest, ConnectedOpensAndCloses)
{
    port.SetConnected(true);
    EXPECT_TRUE(port.Connected());
    port.SetConnected(true);
    port.SetConnected(false);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(fake->calls({"open", "close"}), (Calls{"open COM1", "close"}));
}

TEST_F(PortTest, ClearBufferPurgesTheChosenQueuesInOneCall)
{
    EXPECT_EQ(codeOf([&] { port.ClearBuffer(true, true); }), 5); // no device
    port.Open();
    fake->clearCalls();
    port.ClearBuffer(true, true);
    port.ClearBuffer(true, false);
    port.ClearBuffer(false, true);
    EXPECT_EQ(fake->calls(), (Calls{"purge 0x000C", "purge 0x0008", "purge 0x0004"}));
    fake->failOp("purge", EIO);
    EXPECT_EQ(codeOf([&] { port.ClearBuffer(true, true); }), 5);
    EXPECT_EQ(codeOf([&] { port.Close(); }), 5);
    EXPECT_TRUE(port.Connected()); // still open: the abort failed
    fake->failOp("purge", 0);
    port.Close();
}

TEST_F(PortTest, WritesAndReadsThroughTheDevice)
{
    port.Open();
    fake->clearCalls();
    EXPECT_EQ(port.WriteStr(""), 0);
    EXPECT_EQ(fake->calls(), Calls{}); // nothing sent
    EXPECT_EQ(port.WriteStr(std::string("\xFE\xFE\x58\xE0\x03\xFD", 6)), 6);
    EXPECT_EQ(fake->written(), std::string("\xFE\xFE\x58\xE0\x03\xFD", 6));

    std::string s = "stale";
    EXPECT_EQ(port.ReadStr(s, 0), 0);
    EXPECT_EQ(s, "");
    EXPECT_EQ(port.ReadStr(s, 200), 0);
    fake->receive(std::string("ab\0cd", 5));
    EXPECT_EQ(port.ReadStr(s, 200), 5);
    EXPECT_EQ(s, std::string("ab\0cd", 5));
    fake->receive("xyz");
    char buf[8] = {};
    EXPECT_EQ(port.Read(buf, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "xy");
    EXPECT_EQ(port.Write("q", 1), 1);
    EXPECT_EQ(fake->calls({"read", "write"}),
              (Calls{"write 6", "read 200", "read 200", "read 2", "write 1"}));

    fake->failOp("write", EIO);
    EXPECT_EQ(codeOf([&] { port.WriteStr("x"); }), 2);
    fake->failOp("read", EIO);
    EXPECT_EQ(codeOf([&] { port.ReadStr(s, 1); }), 3);
}

TEST_F(PortTest, ReadThatCannotStartIsCountedOrRaised)
{
    std::string s = "x";
    EXPECT_EQ(port.ReadStr(s, 10), 0); // closed: the read cannot start
    EXPECT_EQ(s, "");
    EXPECT_EQ(port.ReadAsyncErrorCount(), 1);
    EXPECT_EQ(port.ReadAsyncLastError(), EBADF);
    port.SetReadAsyncErrorCount(0);
    port.SetReadAsyncExceptionsEnabled(true);
    EXPECT_EQ(codeOf([&] { port.ReadStr(s, 10); }), 3);
    EXPECT_EQ(port.ReadAsyncErrorCount(), 0);
    EXPECT_EQ(codeOf([&] { port.WriteStr("x"); }), 2); // a write that cannot start raises
}

TEST_F(PortTest, NonOverlappedModeCountsWriteErrorsAndHasNoEvents)
{
    port.SetOverlapped(false);
    EXPECT_EQ(port.WriteStr("abc"), 0); // not connected: nothing written, no error
    port.Open();
    EXPECT_EQ(fake->calls({"setCommMask"}), Calls{}); // no event thread
    EXPECT_EQ(port.EventThread(), nullptr);
    EXPECT_EQ(port.WriteStr("abc"), 3);
    fake->failOp("write", EIO);
    EXPECT_EQ(port.WriteStr("abc"), 0);
    EXPECT_EQ(port.SyncWriteErrors(), 1);
    fake->clearCalls();
    EXPECT_TRUE(port.Signals().Empty());
    EXPECT_EQ(fake->calls(), Calls{}); // no query
}

TEST_F(PortTest, NoEventsMeansNoThread)
{
    port.SetEvents({});
    port.Open();
    EXPECT_EQ(port.EventThread(), nullptr);
    EXPECT_EQ(fake->calls({"setCommMask"}), Calls{});
}

TEST_F(PortTest, QueriesAndLineControl)
{
    EXPECT_EQ(codeOf([&] { port.InputCount(); }), 10);
    EXPECT_EQ(codeOf([&] { port.SetDTR(true); }), 12);
    port.Open();
    fake->receive("12345");
    EXPECT_EQ(port.InputCount(), 5);
    EXPECT_EQ(port.OutputCount(), 0);
    EXPECT_EQ(port.StateFlags(), 0);
    EXPECT_TRUE(port.LastErrors().Empty());
    fake->setModemStatus(MS_DSR_ON | MS_RING_ON);
    EXPECT_EQ(port.Signals(), (TComSignals{csDSR, csRing}));
    fake->clearCalls();
    port.SetDTR(true);
    port.SetDTR(false);
    port.SetRTS(true);
    port.SetRTS(false);
    port.SetBreak(true);
    port.SetBreak(false);
    port.SetXonXoff(true);
    port.SetXonXoff(false);
    port.TransmitChar('A');
    EXPECT_EQ(fake->calls(), (Calls{"escape 5", "escape 6", "escape 3", "escape 4", "escape 8",
                                    "escape 9", "escape 2", "escape 1", "transmit 65"}));
    port.SetInputCountNotSupported(true);
    fake->clearCalls();
    EXPECT_EQ(port.InputCount(), 0);
    EXPECT_EQ(fake->calls(), Calls{});
    fake->failOp("clearCommError", EIO);
    EXPECT_EQ(codeOf([&] { port.OutputCount(); }), 10);
    EXPECT_EQ(codeOf([&] { port.LastErrors(); }), 10);
    fake->failOp("getModemStatus", EIO);
    EXPECT_EQ(codeOf([&] { port.Signals(); }), 11);
    fake->failOp("escape", EIO);
    EXPECT_EQ(codeOf([&] { port.SetBreak(true); }), 12);
    fake->failOp("transmit", EIO);
    EXPECT_EQ(codeOf([&] { port.TransmitChar('A'); }), 13);
}

TEST_F(PortTest, LinksRegistrationAndTheirEffects)
{
    TComLink plain, rx;
    rx.OnRxBuf = [](TCustomComPort*, const char*, int) {};
    port.RegisterLink(&plain);
    EXPECT_EQ(codeOf([&] { port.RegisterLink(&plain); }), 18);
    EXPECT_TRUE(port.TriggersOnRxChar());
    port.RegisterLink(&rx);
    EXPECT_FALSE(port.TriggersOnRxChar());
    EXPECT_EQ(codeOf([&] { port.SetTriggersOnRxChar(true); }), 22);
    port.UnRegisterLink(&rx);
    EXPECT_TRUE(port.TriggersOnRxChar());
    EXPECT_EQ(codeOf([&] { port.UnRegisterLink(&rx); }), 18);
    EXPECT_EQ(codeOf([&] { port.RegisterLink(nullptr); }), 18);
    port.SetTriggersOnRxChar(false);
    EXPECT_FALSE(port.TriggersOnRxChar());

    std::vector<std::string> log;
    plain.OnTx = [&](TCustomComPort*, bool on) { log.push_back(on ? "tx1" : "tx0"); };
    plain.OnTxBuf = [&](TCustomComPort*, const char* b, int n) {
        log.push_back(std::string(b, n));
    };
    plain.OnRx = [&](TCustomComPort*, bool on) { log.push_back(on ? "rx1" : "rx0"); };
    port.Open();
    port.WriteStr("hey");
    std::string s;
    fake->receive("ab");
    port.ReadStr(s, 2); // the queue is empty afterwards
    EXPECT_EQ(log, (Calls{"tx1", "hey", "rx0"}));
    port.UnRegisterLink(&plain);
}

TEST_F(PortTest, AsynchronousCalls)
{
    EXPECT_EQ(codeOf([&] { port.WriteStrAsync("x", nullptr); }), 4);
    EXPECT_EQ(codeOf([&] { port.WaitForAsync(nullptr); }), 4);
    EXPECT_EQ(codeOf([&] { port.IsAsyncCompleted(nullptr); }), 4);
    port.Open();
    TCPortAsync w, r;
    EXPECT_TRUE(port.IsAsyncCompleted(&w)); // nothing started
    port.WriteStrAsync("hello", &w);
    EXPECT_EQ(port.WaitForAsync(&w), 5);
    EXPECT_TRUE(port.IsAsyncCompleted(&w));
    EXPECT_EQ(fake->written(), "hello");
    EXPECT_EQ(w.Kind, okWrite);
    EXPECT_EQ(w.Size, 5);

    fake->receive("world");
    std::string s;
    EXPECT_EQ(port.ReadStrAsync(s, 0, &r), 0);
    port.ReadStrAsync(s, 10, &r);
    EXPECT_EQ(port.WaitForAsync(&r), 5);
    EXPECT_EQ(s, "world");
    EXPECT_EQ(r.Kind, okRead);

    fake->receive("xy");
    char buf[4] = {};
    port.ReadAsync(buf, 4, &r);
    EXPECT_EQ(port.WaitForAsync(&r), 2);
    EXPECT_EQ(std::string(buf, 2), "xy");

    fake->failOp("write", EIO);
    port.WriteStrAsync("z", &w);
    EXPECT_EQ(codeOf([&] { port.WaitForAsync(&w); }), 2);
    fake->clearCalls();
    port.AbortAllAsync();
    EXPECT_EQ(fake->calls(), Calls{"purge 0x0003"});
}

TEST_F(PortTest, WaitForEventWithoutTheThread)
{
    port.Open();
    EXPECT_EQ(codeOf([&] { port.WaitForEvent({evRxChar}, nullptr, 10); }), 20);
    port.Close();
    port.SetEvents({});
    EXPECT_EQ(codeOf([&] { port.WaitForEvent({evRxChar}, nullptr, 10); }), 21); // closed
    port.Open();
    fake->clearCalls();
    EXPECT_TRUE(port.WaitForEvent({evRxChar}, nullptr, 20).Empty()); // timed out
    fake->raise(EV_RING | EV_CTS);
    EXPECT_EQ(port.WaitForEvent({evRing, evBreak}, nullptr, 1000), TComEvents{evRing});
    auto stop = port.CreateEvent();
    stop->set();
    EXPECT_TRUE(port.WaitForEvent({evRxChar}, stop.get(), -1).Empty());
    EXPECT_EQ(fake->calls(),
              (Calls{"setCommMask 0x0001", "setCommMask 0x0000", "setCommMask 0x0140",
                     "setCommMask 0x0000", "setCommMask 0x0001", "setCommMask 0x0000"}));
    fake->hangUp();
    EXPECT_EQ(codeOf([&] { port.WaitForEvent({evRxChar}, nullptr, -1); }), 21);
}

TEST_F(PortTest, DestroyingThePortClosesIt)
{
    {
        TComPort p("P", fake);
        p.Open();
        EXPECT_EQ(fake->openDevices(), 1);
    }
    EXPECT_EQ(fake->openDevices(), 0);
}

} // namespace
} // namespace memvane
