#pragma once
// The Windows backend: serial ports through the system's communications calls.
//
// Open: "COM1" ... "COM256" (any letter case) open \\.\COMn; a name that already starts with
// \\.\ is used as written, any other name is looked for as \\.\NAME (virtual port drivers name
// their ports freely). CreateFileW opens the device exclusively, for existing devices only,
// overlapped when asked; anything that is not a communications device (GetCommState fails on
// it) is refused, so a bad settings file can never make the program write into a file.
//
// Transfers: ReadFile / WriteFile with the device's own timeouts, completed through
// GetOverlappedResult on an event of their own. A read under the immediate-return timeouts
// (interval MAXDWORD, both totals 0) asks for no more than ClearCommError reports queued, and
// asks for nothing when the queue is empty: that is what Windows does, and it keeps a driver
// that would leave such a read pending from blocking the exchange. A read or write that ends by
// its total timeout (ERROR_TIMEOUT from some drivers) counts as done with what was transferred.
//
// Line events: SetCommMask / WaitCommEvent, waited for together with the caller's stop event
// (WaitForMultipleObjects); a stop or a time limit cancels the pending wait with SetCommMask
// before returning. A wait that the system ends as aborted (another SetCommMask, a purge)
// reports no events. A device that stops working for good (a USB adapter pulled) reports
// itself lost.

#include "serial/ComBackend.h"

namespace memvane::win32 {

class Win32Backend : public TComBackend
{
public:
    std::shared_ptr<ComDevice> open(const std::string& port, bool overlapped,
                                    ComOpenError& error) override;
    std::shared_ptr<ComEvent> createEvent() override;
    void setThreadPriority(int priority) override;
};

// The device path a port name opens ("COM3" -> "\\.\COM3").
std::string PortNameToDevicePath(const std::string& name);

} // namespace memvane::win32
