#pragma once
// The line-settings block a port hands to its device, built from the values that make it up.

#include "serial/CPortTypes.h"
#include "serial/ComPortValues.h"

namespace memvane {

struct TComDCB;

TComDCB BuildDCB(TBaudRate BaudRate, int CustomBaudRate, TStopBits StopBits, TDataBits DataBits,
                 const TComParity& Parity, const TComFlowControl& FlowControl,
                 const TComBuffer& Buffer, bool DiscardNull, TComChar EventChar);

} // namespace memvane
