// StoreSettings / LoadSettings of TCustomComPort: the port's values in "ComPort.ini", one
// section named after the component. Which groups travel is chosen by StoredProps; the groups
// and their keys are written and read in a fixed order.

#include "core/Numbers.h"
#include "core/TextBytes.h"
#include "serial/CPort.h"
#include "serial/ComSettingsText.h"
#include "serial/IniFile.h"

namespace memvane {

namespace settings {

std::string IntToText(int value)
{
    return std::to_string(value);
}

int TextToInt(const std::string& text, int fallback)
{
    int value = 0;
    // Only decimal and "0x" hexadecimal: "$" or a "0x" after a sign are no numbers here.
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return TryStrToInt(text, value) ? value : fallback;
    return TryDecimalToInt(text, value) ? value : fallback;
}

std::string BoolToText(bool value)
{
    return value ? "Yes" : "No";
}

bool TextToBool(const std::string& text)
{
    return SameText(text, "YES");
}

std::string CharToText(TComChar value)
{
    if (value >= 33 && value <= 127)
        return std::string(1, static_cast<char>(value));
    return "#" + std::to_string(value);
}

TComChar TextToChar(const std::string& text)
{
    if (text.empty())
        return 0;
    if (text[0] == '#' && text.size() > 1)
        return static_cast<TComChar>(TextToInt(text.substr(1), 0) & 0xFF);
    return static_cast<TComChar>(text[0]);
}

} // namespace settings

using namespace settings;

void TCustomComPort::StoreSettings(TStoreType StoreType, const std::string& StoreTo)
{
    if (StoreType != stIniFile)
        throw EComPort(CError_StoreFailed); // no registry on this platform
    try {
        storeIni(StoreTo);
    } catch (...) {
        throw EComPort(CError_StoreFailed);
    }
}

void TCustomComPort::storeIni(const std::string& path)
{
    IniFile ini(path);
    const std::string& s = FName;
    if (FStoredProps.Contains(spBasic)) {
        ini.WriteString(s, "Port", FPort);
        ini.WriteString(s, "BaudRate", BaudRateToStr(FBaudRate));
        if (FBaudRate == brCustom)
            ini.WriteString(s, "CustomBaudRate", IntToText(FCustomBaudRate));
        ini.WriteString(s, "StopBits", StopBitsToStr(FStopBits));
        ini.WriteString(s, "DataBits", DataBitsToStr(FDataBits));
        ini.WriteString(s, "Parity", ParityToStr(FParity->Bits()));
        ini.WriteString(s, "FlowControl", FlowControlToStr(FFlowControl->FlowControl()));
    }
    if (FStoredProps.Contains(spOthers)) {
        ini.WriteString(s, "EventChar", CharToText(FEventChar));
        ini.WriteString(s, "DiscardNull", BoolToText(FDiscardNull));
    }
    if (FStoredProps.Contains(spParity)) {
        ini.WriteString(s, "Parity.Check", BoolToText(FParity->Check()));
        ini.WriteString(s, "Parity.Replace", BoolToText(FParity->Replace()));
        ini.WriteString(s, "Parity.ReplaceChar", CharToText(FParity->ReplaceChar()));
    }
    if (FStoredProps.Contains(spBuffer)) {
        ini.WriteString(s, "Buffer.OutputSize", IntToText(FBuffer->OutputSize()));
        ini.WriteString(s, "Buffer.InputSize", IntToText(FBuffer->InputSize()));
    }
    if (FStoredProps.Contains(spTimeouts)) {
        const TComTimeouts& t = *FTimeouts;
        ini.WriteString(s, "Timeouts.ReadInterval", IntToText(t.ReadInterval()));
        ini.WriteString(s, "Timeouts.ReadTotalConstant", IntToText(t.ReadTotalConstant()));
        ini.WriteString(s, "Timeouts.ReadTotalMultiplier", IntToText(t.ReadTotalMultiplier()));
        ini.WriteString(s, "Timeouts.WriteTotalConstant", IntToText(t.WriteTotalConstant()));
        ini.WriteString(s, "Timeouts.WriteTotalMultiplier", IntToText(t.WriteTotalMultiplier()));
    }
    if (FStoredProps.Contains(spFlowControl)) {
        const TComFlowControl& f = *FFlowControl;
        ini.WriteString(s, "FlowControl.ControlRTS", RTSToStr(f.ControlRTS()));
        ini.WriteString(s, "FlowControl.ControlDTR", DTRToStr(f.ControlDTR()));
        ini.WriteString(s, "FlowControl.DSRSensitivity", BoolToText(f.DSRSensitivity()));
        ini.WriteString(s, "FlowControl.OutCTSFlow", BoolToText(f.OutCTSFlow()));
        ini.WriteString(s, "FlowControl.OutDSRFlow", BoolToText(f.OutDSRFlow()));
        ini.WriteString(s, "FlowControl.TxContinueOnXoff", BoolToText(f.TxContinueOnXoff()));
        ini.WriteString(s, "FlowControl.XonXoffIn", BoolToText(f.XonXoffIn()));
        ini.WriteString(s, "FlowControl.XonXoffOut", BoolToText(f.XonXoffOut()));
        ini.WriteString(s, "FlowControl.XoffChar", CharToText(f.XoffChar()));
        ini.WriteString(s, "FlowControl.XonChar", CharToText(f.XonChar()));
    }
    ini.Flush();
}

void TCustomComPort::LoadSettings(TStoreType StoreType, const std::string& LoadFrom)
{
    if (StoreType != stIniFile)
        throw EComPort(CError_LoadFailed); // no registry on this platform
    bool failed = false;
    BeginUpdate();
    try {
        loadIni(LoadFrom);
    } catch (...) {
        failed = true;
    }
    try {
        EndUpdate();
    } catch (...) {
        failed = true;
    }
    if (failed)
        throw EComPort(CError_LoadFailed);
}

// Each key's default is the current value in its written form, so a missing key changes nothing.
void TCustomComPort::loadIni(const std::string& path)
{
    IniFile ini(path);
    const std::string& s = FName;
    auto text = [&](const char* key, const std::string& current) {
        return ini.ReadString(s, key, current);
    };
    auto integer = [&](const char* key, int current) {
        return TextToInt(text(key, IntToText(current)), current);
    };
    auto boolean = [&](const char* key, bool current) {
        return TextToBool(text(key, BoolToText(current)));
    };
    auto character = [&](const char* key, TComChar current) {
        return TextToChar(text(key, CharToText(current)));
    };

    if (FStoredProps.Contains(spBasic)) {
        SetPort(text("Port", FPort));
        SetBaudRate(StrToBaudRate(text("BaudRate", BaudRateToStr(FBaudRate))));
        if (FBaudRate == brCustom)
            SetCustomBaudRate(TextToInt(text("CustomBaudRate", "9600"), 9600));
        SetStopBits(StrToStopBits(text("StopBits", StopBitsToStr(FStopBits))));
        SetDataBits(StrToDataBits(text("DataBits", DataBitsToStr(FDataBits))));
        FParity->SetBits(StrToParity(text("Parity", ParityToStr(FParity->Bits()))));
        FFlowControl->SetFlowControl(
            StrToFlowControl(text("FlowControl", FlowControlToStr(FFlowControl->FlowControl()))));
    }
    if (FStoredProps.Contains(spOthers)) {
        SetEventChar(character("EventChar", FEventChar));
        SetDiscardNull(boolean("DiscardNull", FDiscardNull));
    }
    if (FStoredProps.Contains(spParity)) {
        FParity->SetCheck(boolean("Parity.Check", FParity->Check()));
        FParity->SetReplace(boolean("Parity.Replace", FParity->Replace()));
        FParity->SetReplaceChar(character("Parity.ReplaceChar", FParity->ReplaceChar()));
    }
    if (FStoredProps.Contains(spBuffer)) {
        FBuffer->SetOutputSize(integer("Buffer.OutputSize", FBuffer->OutputSize()));
        FBuffer->SetInputSize(integer("Buffer.InputSize", FBuffer->InputSize()));
    }
    if (FStoredProps.Contains(spTimeouts)) {
        TComTimeouts& t = *FTimeouts;
        t.SetReadInterval(integer("Timeouts.ReadInterval", t.ReadInterval()));
        t.SetReadTotalConstant(integer("Timeouts.ReadTotalConstant", t.ReadTotalConstant()));
        t.SetReadTotalMultiplier(integer("Timeouts.ReadTotalMultiplier", t.ReadTotalMultiplier()));
        t.SetWriteTotalConstant(integer("Timeouts.WriteTotalConstant", t.WriteTotalConstant()));
        t.SetWriteTotalMultiplier(
            integer("Timeouts.WriteTotalMultiplier", t.WriteTotalMultiplier()));
    }
    if (FStoredProps.Contains(spFlowControl)) {
        TComFlowControl& f = *FFlowControl;
        f.SetControlRTS(StrToRTS(text("FlowControl.ControlRTS", RTSToStr(f.ControlRTS()))));
        f.SetControlDTR(StrToDTR(text("FlowControl.ControlDTR", DTRToStr(f.ControlDTR()))));
        f.SetDSRSensitivity(boolean("FlowControl.DSRSensitivity", f.DSRSensitivity()));
        f.SetOutCTSFlow(boolean("FlowControl.OutCTSFlow", f.OutCTSFlow()));
        f.SetOutDSRFlow(boolean("FlowControl.OutDSRFlow", f.OutDSRFlow()));
        f.SetTxContinueOnXoff(boolean("FlowControl.TxContinueOnXoff", f.TxContinueOnXoff()));
        f.SetXonXoffIn(boolean("FlowControl.XonXoffIn", f.XonXoffIn()));
        f.SetXonXoffOut(boolean("FlowControl.XonXoffOut", f.XonXoffOut()));
        f.SetXoffChar(character("FlowControl.XoffChar", f.XoffChar()));
        f.SetXonChar(character("FlowControl.XonChar", f.XonChar()));
    }
}

} // namespace memvane
