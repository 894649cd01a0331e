#pragma once
// The port's event handler types, and TComLink: the handlers another control registers with a
// port to follow its line.

#include "serial/CPortTypes.h"

#include <functional>

namespace memvane {

class TCustomComPort;

// Event handler types. An empty slot is skipped.
using TNotifyEvent = std::function<void(TCustomComPort* Sender)>;
using TRxCharEvent = std::function<void(TCustomComPort* Sender, int Count)>;
using TRxBufEvent = std::function<void(TCustomComPort* Sender, const char* Buffer, int Count)>;
using TComErrorEvent = std::function<void(TCustomComPort* Sender, TComErrors Errors)>;
using TComSignalEvent = std::function<void(TCustomComPort* Sender, bool OnOff)>;

// A listener another control registers with the port. Sender is the port.
using TComLinkFlagEvent = std::function<void(TCustomComPort* Sender, bool OnOff)>;
using TComLinkBufEvent = std::function<void(TCustomComPort* Sender, const char* Buffer, int Count)>;

class TComLink
{
public:
    TComLinkFlagEvent OnConn;
    TComLinkBufEvent OnRxBuf;
    TComLinkBufEvent OnTxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnRxFlag;
    TComLinkFlagEvent OnCTSChange;
    TComLinkFlagEvent OnDSRChange;
    TComLinkFlagEvent OnRLSDChange;
    TNotifyEvent OnRing;
    TComLinkFlagEvent OnTx;
    TComLinkFlagEvent OnRx;
};

} // namespace memvane
