// StoreSettings / LoadSettings: the keys and groups in order, value forms and fallbacks, how a
// load meets an open port, and the two error codes.

#include "serial/CPort.h"
#include "tests/support/FakeComBackend.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

namespace memvane {
namespace {

using test::FakeComBackend;
using test::slurp;
using test::spit;
using Calls = std::vector<std::string>;

class SettingsTest : public ::testing::Test
{
protected:
    // The main window's design values.
    void formData(TCustomComPort& p)
    {
        p.SetBaudRate(br19200);
        p.SetPort("COM1");
        p.Parity().SetBits(prNone);
        p.SetStopBits(sbOneStopBit);
        p.SetDataBits(dbEight);
    }
    int expectCode(const std::function<void()>& f)
    {
        try {
            f();
        } catch (const EComPort& e) {
            return e.Code();
        }
        ADD_FAILURE() << "no EComPort";
        return 0;
    }

    std::shared_ptr<FakeComBackend> fake = std::make_shared<FakeComBackend>();
    TComPort port{"ComPort1", fake};
    test::TempDir dir;
    std::string ini = dir.file("ComPort.ini");
};

TEST_F(SettingsTest, StoresTheFormDataAsTheProgramDoes)
{
    formData(port);
    port.StoreSettings(stIniFile, ini);
    EXPECT_EQ(slurp(ini), "[ComPort1]\nPort=COM1\nBaudRate=19200\nStopBits=1\nDataBits=8\n"
                          "Parity=None\nFlowControl=None\n");
}

TEST_F(SettingsTest, EveryGroupInOrderWithItsWrittenForms)
{
    port.SetStoredProps(TStoredProps::All());
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    port.SetEventChar(65);
    port.SetDiscardNull(true);
    port.Parity().SetCheck(true);
    port.Parity().SetReplaceChar(0);
    port.Timeouts().SetReadTotalConstant(-5);
    port.FlowControl().SetFlowControl(fcHardware);
    port.FlowControl().SetControlDTR(dtrHandshake);
    port.StoreSettings(stIniFile, ini);
    EXPECT_EQ(slurp(ini), "[ComPort1]\n"
                          "Port=COM1\nBaudRate=Custom\nCustomBaudRate=250000\nStopBits=1\n"
                          "DataBits=8\nParity=None\nFlowControl=Hardware\n"
                          "EventChar=A\nDiscardNull=Yes\n"
                          "Parity.Check=Yes\nParity.Replace=No\nParity.ReplaceChar=#0\n"
                          "Buffer.OutputSize=1024\nBuffer.InputSize=1024\n"
                          "Timeouts.ReadInterval=-1\nTimeouts.ReadTotalConstant=-5\n"
                          "Timeouts.ReadTotalMultiplier=0\nTimeouts.WriteTotalConstant=1000\n"
                          "Timeouts.WriteTotalMultiplier=100\n"
                          "FlowControl.ControlRTS=Handshake\nFlowControl.ControlDTR=Handshake\n"
                          "FlowControl.DSRSensitivity=No\nFlowControl.OutCTSFlow=Yes\n"
                          "FlowControl.OutDSRFlow=No\nFlowControl.TxContinueOnXoff=No\n"
                          "FlowControl.XonXoffIn=No\nFlowControl.XonXoffOut=No\n"
                          "FlowControl.XoffChar=#19\nFlowControl.XonChar=#17\n");
}

TEST_F(SettingsTest, EveryValueRoundTrips)
{
    TComPort src("ComPort1", fake);
    src.SetStoredProps(TStoredProps::All());
    src.SetPort("/dev/ttyUSB3");
    src.SetBaudRate(brCustom);
    src.SetCustomBaudRate(31250);
    src.SetStopBits(sbTwoStopBits);
    src.SetDataBits(dbSeven);
    src.SetEventChar('~');
    src.SetDiscardNull(true);
    src.Parity().SetBits(prMark);
    src.Parity().SetCheck(true);
    src.Parity().SetReplace(true);
    src.Parity().SetReplaceChar(200);
    src.Buffer().SetInputSize(8192);
    src.Buffer().SetOutputSize(2048);
    src.Timeouts().SetReadInterval(50);
    src.Timeouts().SetReadTotalConstant(7);
    src.Timeouts().SetReadTotalMultiplier(3);
    src.Timeouts().SetWriteTotalConstant(0);
    src.Timeouts().SetWriteTotalMultiplier(-1);
    src.FlowControl().SetControlRTS(rtsToggle);
    src.FlowControl().SetControlDTR(dtrEnable);
    src.FlowControl().SetDSRSensitivity(true);
    src.FlowControl().SetOutCTSFlow(true);
    src.FlowControl().SetOutDSRFlow(true);
    src.FlowControl().SetTxContinueOnXoff(true);
    src.FlowControl().SetXonXoffIn(true);
    src.FlowControl().SetXonXoffOut(false);
    src.FlowControl().SetXoffChar(' ');
    src.FlowControl().SetXonChar('#');
    src.StoreSettings(stIniFile, ini);

    port.SetStoredProps(TStoredProps::All());
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(port.Port(), "/dev/ttyUSB3");
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 31250);
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
    EXPECT_EQ(port.DataBits(), dbSeven);
    EXPECT_EQ(port.EventChar(), '~');
    EXPECT_TRUE(port.DiscardNull());
    EXPECT_EQ(port.Parity().Bits(), prMark);
    EXPECT_TRUE(port.Parity().Check());
    EXPECT_TRUE(port.Parity().Replace());
    EXPECT_EQ(port.Parity().ReplaceChar(), 200);
    EXPECT_EQ(port.Buffer().InputSize(), 8192);
    EXPECT_EQ(port.Buffer().OutputSize(), 2048);
    EXPECT_EQ(port.Timeouts().ReadInterval(), 50);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 7);
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 3);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 0);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), -1);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsToggle);
    EXPECT_EQ(port.FlowControl().ControlDTR(), dtrEnable);
    EXPECT_TRUE(port.FlowControl().DSRSensitivity());
    EXPECT_TRUE(port.FlowControl().OutCTSFlow());
    EXPECT_TRUE(port.FlowControl().OutDSRFlow());
    EXPECT_TRUE(port.FlowControl().TxContinueOnXoff());
    EXPECT_TRUE(port.FlowControl().XonXoffIn());
    EXPECT_FALSE(port.FlowControl().XonXoffOut());
    EXPECT_EQ(port.FlowControl().XoffChar(), ' ');
    EXPECT_EQ(port.FlowControl().XonChar(), '#');
}

TEST_F(SettingsTest, OnlyBaudRateInFileReachesAnOpenDeviceOnceAtTheEnd)
{
    formData(port);
    port.Open();
    fake->clearCalls();
    spit(ini, "[ComPort1]\nBaudRate=38400\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(port.BaudRate(), br38400);
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    EXPECT_EQ(fake->calls({"open", "close", "setupComm", "setCommState", "setCommTimeouts"}),
              (Calls{"setupComm 1024 1024", "setCommState", "setCommTimeouts"}));
    ASSERT_EQ(fake->dcbs().size(), 1u);
    EXPECT_EQ(fake->dcbs()[0].BaudRate, 38400u);
    EXPECT_EQ(port.UpdateCount(), 0);
}

TEST_F(SettingsTest, WhatWasLoadedCanBeStoredAtClose)
{
    // A lone carriage return once stayed inside the port name, which no store could write.
    spit(ini, "[ComPort1]\nPort=COM3\rBaudRate=4800\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(port.Port(), "COM3");
    EXPECT_EQ(port.BaudRate(), br4800);
    port.StoreSettings(stIniFile, ini);
    TComPort again{"ComPort1", fake};
    again.LoadSettings(stIniFile, ini);
    EXPECT_EQ(again.Port(), "COM3");
    EXPECT_EQ(again.BaudRate(), br4800);
}

TEST_F(SettingsTest, CustomWithoutItsRateFallsBackTo9600)
{
    port.SetCustomBaudRate(115200);
    spit(ini, "[ComPort1]\nBaudRate=Custom\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
}

TEST_F(SettingsTest, CustomRateIsReadOnlyForCustom)
{
    spit(ini, "[ComPort1]\nBaudRate=4800\nCustomBaudRate=57600\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(port.BaudRate(), br4800);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    spit(ini, "[ComPort1]\nBaudRate=custom\nCustomBaudRate=0x7A12\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(port.CustomBaudRate(), 31250);
}

TEST_F(SettingsTest, TextsThatMatchNothingTakeTheFallbacks)
{
    port.SetBaudRate(br57600);
    port.SetStopBits(sbTwoStopBits);
    port.SetDataBits(dbSeven);
    port.Parity().SetBits(prOdd);
    port.SetStoredProps({spBasic, spFlowControl});
    port.FlowControl().SetControlRTS(rtsEnable);
    port.FlowControl().SetControlDTR(dtrEnable);
    spit(ini, "[ComPort1]\nBaudRate=fast\nStopBits=3\nDataBits=eight\nParity=sometimes\n"
              "FlowControl.ControlRTS=yes\nFlowControl.ControlDTR=\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsDisable);
    EXPECT_EQ(port.FlowControl().ControlDTR(), dtrDisable);
}

TEST_F(SettingsTest, LowerCaseKeysValuesAndSection)
{
    spit(ini, "[comport1]\nparity=even\nbaudrate=115200\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(port.Parity().Bits(), prEven);
    EXPECT_EQ(port.BaudRate(), br115200);
}

TEST_F(SettingsTest, CustomOrUnknownFlowControlLeavesTheValues)
{
    for (const char* text : {"Custom", "xon", ""}) {
        port.FlowControl().SetControlRTS(rtsEnable);
        port.FlowControl().SetXonXoffIn(true);
        port.FlowControl().SetOutCTSFlow(true);
        spit(ini, std::string("[ComPort1]\nFlowControl=") + text + "\n");
        port.LoadSettings(stIniFile, ini);
        EXPECT_EQ(port.FlowControl().ControlRTS(), rtsEnable) << text;
        EXPECT_TRUE(port.FlowControl().XonXoffIn()) << text;
        EXPECT_TRUE(port.FlowControl().OutCTSFlow()) << text;
    }
    spit(ini, "[ComPort1]\nFlowControl=software\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsDisable);
    EXPECT_FALSE(port.FlowControl().OutCTSFlow());
    EXPECT_TRUE(port.FlowControl().XonXoffIn());
    EXPECT_TRUE(port.FlowControl().XonXoffOut());
}

TEST_F(SettingsTest, MissingKeysSectionsAndFilesChangeNothing)
{
    port.SetStoredProps(TStoredProps::All());
    port.SetBaudRate(br2400);
    port.SetEventChar(3);
    port.Parity().SetReplaceChar('Z');
    port.Timeouts().SetReadInterval(-1);
    port.Buffer().SetInputSize(512);
    port.FlowControl().SetXonChar(1);
    port.SetDiscardNull(true);
    for (const char* content : {"[Other]\nBaudRate=300\n", "", "[ComPort1]\n"}) {
        spit(ini, content);
        port.LoadSettings(stIniFile, ini);
        EXPECT_EQ(port.BaudRate(), br2400);
        EXPECT_EQ(port.EventChar(), 3);
        EXPECT_EQ(port.Parity().ReplaceChar(), 'Z');
        EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
        EXPECT_EQ(port.Buffer().InputSize(), 512);
        EXPECT_EQ(port.FlowControl().XonChar(), 1);
        EXPECT_TRUE(port.DiscardNull());
    }
    port.LoadSettings(stIniFile, dir.file("absent.ini"));
    EXPECT_EQ(port.BaudRate(), br2400);
    EXPECT_FALSE(std::filesystem::exists(dir.file("absent.ini")));
}

TEST_F(SettingsTest, ValuesThatDoNotConvert)
{
    port.SetStoredProps(TStoredProps::All());
    port.Buffer().SetOutputSize(4096);
    port.SetDiscardNull(true);
    port.Parity().SetCheck(true);
    port.SetEventChar(9);
    spit(ini, "[ComPort1]\nBuffer.OutputSize=lots\nBuffer.InputSize=0x800\n"
              "Timeouts.ReadInterval=-1\nTimeouts.WriteTotalConstant=0X1F4\n"
              "DiscardNull=True\nParity.Check=\nEventChar=#abc\nParity.ReplaceChar=?!\n"
              "FlowControl.XonChar=#\nFlowControl.XoffChar=#275\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(port.Buffer().OutputSize(), 4096); // not an integer: the current value stays
    EXPECT_EQ(port.Buffer().InputSize(), 2048);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 500);
    EXPECT_FALSE(port.DiscardNull()); // only "Yes" is True
    EXPECT_FALSE(port.Parity().Check());
    EXPECT_EQ(port.EventChar(), 0);
    EXPECT_EQ(port.Parity().ReplaceChar(), '?');
    EXPECT_EQ(port.FlowControl().XonChar(), '#');
    EXPECT_EQ(port.FlowControl().XoffChar(), 275 & 0xFF);
}

TEST_F(SettingsTest, SamePortNameDoesNotReopenAnotherDoes)
{
    formData(port);
    port.Open();
    fake->clearCalls();
    spit(ini, "[ComPort1]\nPort=COM1\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(fake->calls({"open", "close"}), Calls{});

    fake->clearCalls();
    spit(ini, "[ComPort1]\nPort=COM7\nBaudRate=4800\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Port(), "COM7");
    // The reopen happens during the load, the new device gets its settings once, at the end.
    EXPECT_EQ(
        fake->calls({"open", "close", "setupComm", "setCommState", "setCommTimeouts"}),
        (Calls{"close", "open COM7", "setupComm 1024 1024", "setCommState", "setCommTimeouts"}));
    EXPECT_EQ(fake->dcbs().back().BaudRate, 4800u);
}

TEST_F(SettingsTest, LoadingNeverOpensAClosedPort)
{
    spit(ini, "[ComPort1]\nPort=COM7\nBaudRate=4800\n");
    port.LoadSettings(stIniFile, ini);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(fake->calls(), Calls{});
}

TEST_F(SettingsTest, ReopenFailureEndsTheLoadWithCode17)
{
    formData(port);
    port.Open();
    fake->failOpen("COM7", ENOENT);
    spit(ini, "[ComPort1]\nPort=COM7\nBaudRate=4800\n");
    EXPECT_EQ(expectCode([&] { port.LoadSettings(stIniFile, ini); }), 17);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), "COM7");
    EXPECT_EQ(port.UpdateCount(), 0);
    EXPECT_EQ(fake->openDevices(), 0);
}

TEST_F(SettingsTest, ApplyErrorAtTheEndIsCode17AndValuesStay)
{
    formData(port);
    port.Open();
    fake->failOp("setCommState", EINVAL);
    spit(ini, "[ComPort1]\nBaudRate=38400\n");
    try {
        port.LoadSettings(stIniFile, ini);
        ADD_FAILURE() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 17);
        EXPECT_EQ(e.message(), "COM Port Error: Failed to load settings");
        EXPECT_EQ(e.WinCode(), -1);
    }
    EXPECT_EQ(port.BaudRate(), br38400);
    EXPECT_EQ(port.UpdateCount(), 0);
}

TEST_F(SettingsTest, UnreadableFileIsCode17AndClosesTheBlock)
{
    std::filesystem::create_directory(ini);
    EXPECT_EQ(expectCode([&] { port.LoadSettings(stIniFile, ini); }), 17);
    EXPECT_EQ(port.UpdateCount(), 0);
}

TEST_F(SettingsTest, StoreKeepsKeysItDoesNotWrite)
{
    spit(ini, "; mine\n[ComPort1]\nCustomBaudRate=57600\nTimeouts.ReadInterval=5\n"
              "BaudRate=300\n[Radio]\nAddress=58\n");
    port.SetBaudRate(br9600);
    port.StoreSettings(stIniFile, ini);
    EXPECT_EQ(slurp(ini), "; mine\n[ComPort1]\nCustomBaudRate=57600\nTimeouts.ReadInterval=5\n"
                          "BaudRate=9600\nPort=COM1\nStopBits=1\nDataBits=8\nParity=None\n"
                          "FlowControl=None\n[Radio]\nAddress=58\n");
}

TEST_F(SettingsTest, EventCharForms)
{
    port.SetStoredProps({spOthers});
    port.StoreSettings(stIniFile, ini);
    EXPECT_EQ(slurp(ini), "[ComPort1]\nEventChar=#0\nDiscardNull=No\n");
    port.SetEventChar(65);
    port.StoreSettings(stIniFile, ini);
    EXPECT_EQ(slurp(ini), "[ComPort1]\nEventChar=A\nDiscardNull=No\n");
}

TEST_F(SettingsTest, SectionIsTheComponentsName)
{
    TComPort other("RadioPort", fake);
    other.SetBaudRate(br1200);
    other.StoreSettings(stIniFile, ini);
    port.StoreSettings(stIniFile, ini);
    EXPECT_EQ(slurp(ini).rfind("[RadioPort]\nPort=COM1\nBaudRate=1200\n", 0), 0u);
    EXPECT_NE(slurp(ini).find("[ComPort1]\nPort=COM1\nBaudRate=9600\n"), std::string::npos);
}

TEST_F(SettingsTest, StoreFailuresAreCode16AndLeaveThePortAlone)
{
    port.Open();
    fake->clearCalls();
    EXPECT_EQ(expectCode([&] { port.StoreSettings(stIniFile, dir.file("no/dir/x.ini")); }), 16);
    port.SetPort("bad\nname");
    EXPECT_EQ(expectCode([&] { port.StoreSettings(stIniFile, ini); }), 16);
    EXPECT_FALSE(std::filesystem::exists(ini));
    EXPECT_TRUE(port.Connected());
}

TEST_F(SettingsTest, NoRegistryHere)
{
    EXPECT_EQ(expectCode([&] { port.StoreSettings(stRegistry, "HKEY_CURRENT_USER\\Software"); }),
              16);
    EXPECT_EQ(expectCode([&] { port.LoadSettings(stRegistry, "HKEY_CURRENT_USER\\Software"); }),
              17);
    EXPECT_EQ(port.UpdateCount(), 0);
}

} // namespace
} // namespace memvane
