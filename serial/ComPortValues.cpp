#include "serial/ComPortValues.h"

#include "core/Errors.h"
#include "serial/CPort.h"

#include <string>

namespace memvane {

void TComPersistent::Assign(const TComPersistent& Source)
{
    AssignError(Source);
}

void TComPersistent::AssignError(const TComPersistent& Source) const
{
    throw EConvertError(std::string("Cannot assign a ") + Source.ClassName() + " to a " +
                        ClassName());
}

void TComParity::changed()
{
    if (TCustomComPort* port = ComPort())
        port->ApplyDCB();
}

void TComParity::Assign(const TComPersistent& Source)
{
    const auto& src = assignable<TComParity>(Source);
    FBits = src.FBits;
    FCheck = src.FCheck;
    FReplace = src.FReplace;
    FReplaceChar = src.FReplaceChar;
    changed();
}

void TComParity::SetBits(TParityBits Value)
{
    if (storeChanged(FBits, Value))
        changed();
}

void TComParity::SetCheck(bool Value)
{
    if (storeChanged(FCheck, Value))
        changed();
}

void TComParity::SetReplace(bool Value)
{
    if (storeChanged(FReplace, Value))
        changed();
}

void TComParity::SetReplaceChar(TComChar Value)
{
    if (storeChanged(FReplaceChar, Value))
        changed();
}

void TComFlowControl::changed()
{
    if (TCustomComPort* port = ComPort())
        port->ApplyDCB();
}

void TComFlowControl::Assign(const TComPersistent& Source)
{
    const auto& src = assignable<TComFlowControl>(Source);
    FOutCTSFlow = src.FOutCTSFlow;
    FOutDSRFlow = src.FOutDSRFlow;
    FControlDTR = src.FControlDTR;
    FControlRTS = src.FControlRTS;
    FXonXoffOut = src.FXonXoffOut;
    FXonXoffIn = src.FXonXoffIn;
    FDSRSensitivity = src.FDSRSensitivity;
    FTxContinueOnXoff = src.FTxContinueOnXoff;
    FXonChar = src.FXonChar;
    FXoffChar = src.FXoffChar;
    changed();
}

void TComFlowControl::SetOutCTSFlow(bool Value)
{
    if (storeChanged(FOutCTSFlow, Value))
        changed();
}
void TComFlowControl::SetOutDSRFlow(bool Value)
{
    if (storeChanged(FOutDSRFlow, Value))
        changed();
}
void TComFlowControl::SetControlDTR(TDTRFlowControl Value)
{
    if (storeChanged(FControlDTR, Value))
        changed();
}
void TComFlowControl::SetControlRTS(TRTSFlowControl Value)
{
    if (storeChanged(FControlRTS, Value))
        changed();
}
void TComFlowControl::SetXonXoffOut(bool Value)
{
    if (storeChanged(FXonXoffOut, Value))
        changed();
}
void TComFlowControl::SetXonXoffIn(bool Value)
{
    if (storeChanged(FXonXoffIn, Value))
        changed();
}
void TComFlowControl::SetDSRSensitivity(bool Value)
{
    if (storeChanged(FDSRSensitivity, Value))
        changed();
}
void TComFlowControl::SetTxContinueOnXoff(bool Value)
{
    if (storeChanged(FTxContinueOnXoff, Value))
        changed();
}
void TComFlowControl::SetXonChar(TComChar Value)
{
    if (storeChanged(FXonChar, Value))
        changed();
}
void TComFlowControl::SetXoffChar(TComChar Value)
{
    if (storeChanged(FXoffChar, Value))
        changed();
}

TFlowControl TComFlowControl::FlowControl() const
{
    if (FControlRTS == rtsHandshake && FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut)
        return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl Value)
{
    if (Value != fcCustom) {
        FControlRTS = rtsDisable;
        FOutCTSFlow = false;
        FXonXoffIn = false;
        FXonXoffOut = false;
        if (Value == fcHardware) {
            FControlRTS = rtsHandshake;
            FOutCTSFlow = true;
        } else if (Value == fcSoftware) {
            FXonXoffIn = true;
            FXonXoffOut = true;
        }
    }
    changed();
}

void TComTimeouts::changed()
{
    if (TCustomComPort* port = ComPort())
        port->ApplyTimeouts();
}

void TComTimeouts::Assign(const TComPersistent& Source)
{
    const auto& src = assignable<TComTimeouts>(Source);
    FReadInterval = src.FReadInterval;
    FReadTotalM = src.FReadTotalM;
    FReadTotalC = src.FReadTotalC;
    FWriteTotalM = src.FWriteTotalM;
    FWriteTotalC = src.FWriteTotalC;
    changed();
}

void TComTimeouts::SetReadInterval(int Value)
{
    if (storeChanged(FReadInterval, Value))
        changed();
}
void TComTimeouts::SetReadTotalMultiplier(int Value)
{
    if (storeChanged(FReadTotalM, Value))
        changed();
}
void TComTimeouts::SetReadTotalConstant(int Value)
{
    if (storeChanged(FReadTotalC, Value))
        changed();
}
void TComTimeouts::SetWriteTotalMultiplier(int Value)
{
    if (storeChanged(FWriteTotalM, Value))
        changed();
}
void TComTimeouts::SetWriteTotalConstant(int Value)
{
    if (storeChanged(FWriteTotalC, Value))
        changed();
}

void TComBuffer::changed()
{
    if (TCustomComPort* port = ComPort())
        port->ApplyBuffer();
}

void TComBuffer::Assign(const TComPersistent& Source)
{
    const auto& src = assignable<TComBuffer>(Source);
    FInputSize = src.FInputSize;
    FOutputSize = src.FOutputSize;
    changed();
}

namespace {
// Queue sizes are kept even.
int evenSize(int value)
{
    return value > 0 && value % 2 == 1 ? value - 1 : value;
}
} // namespace

void TComBuffer::SetInputSize(int Value)
{
    if (storeChanged(FInputSize, evenSize(Value)))
        changed();
}

void TComBuffer::SetOutputSize(int Value)
{
    if (storeChanged(FOutputSize, evenSize(Value)))
        changed();
}
} // namespace memvane
