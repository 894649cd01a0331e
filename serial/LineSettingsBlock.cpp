#include "serial/LineSettingsBlock.h"

#include "serial/ComBackend.h"

#include <cstdint>

namespace memvane {

TComDCB BuildDCB(TBaudRate BaudRate, int CustomBaudRate, TStopBits StopBits, TDataBits DataBits,
                 const TComParity& Parity, const TComFlowControl& FlowControl,
                 const TComBuffer& Buffer, bool DiscardNull, TComChar EventChar)
{
    TComDCB dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate =
        BaudRate == brCustom ? static_cast<std::uint32_t>(CustomBaudRate) : BaudRateToInt(BaudRate);
    std::uint32_t f = DCB_fBinary;
    if (Parity.Check())
        f |= DCB_fParity;
    if (FlowControl.OutCTSFlow())
        f |= DCB_fOutxCtsFlow;
    if (FlowControl.OutDSRFlow())
        f |= DCB_fOutxDsrFlow;
    f |= DTRToFlags(FlowControl.ControlDTR());
    if (FlowControl.DSRSensitivity())
        f |= DCB_fDsrSensitivity;
    if (FlowControl.TxContinueOnXoff())
        f |= DCB_fTXContinueOnXoff;
    if (FlowControl.XonXoffOut())
        f |= DCB_fOutX;
    if (FlowControl.XonXoffIn())
        f |= DCB_fInX;
    const bool replace = Parity.Check() && Parity.Replace();
    if (replace)
        f |= DCB_fErrorChar;
    if (DiscardNull)
        f |= DCB_fNull;
    f |= RTSToFlags(FlowControl.ControlRTS());
    dcb.Flags = f;
    dcb.XonLim = static_cast<std::uint16_t>(Buffer.InputSize() / 4);
    dcb.XoffLim = static_cast<std::uint16_t>(Buffer.InputSize() / 4);
    dcb.ByteSize = DataBitsToSize(DataBits);
    dcb.Parity = ParityToCode(Parity.Bits());
    dcb.StopBits = StopBitsToCode(StopBits);
    dcb.XonChar = FlowControl.XonChar();
    dcb.XoffChar = FlowControl.XoffChar();
    dcb.ErrorChar = replace ? Parity.ReplaceChar() : 0;
    dcb.EvtChar = EventChar;
    return dcb;
}

} // namespace memvane
