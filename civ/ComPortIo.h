#pragma once
// The exchange's view of the program's serial component: ccomportwrite talks to TComPort only
// through this adapter, and the transceive monitor reads through it one byte at a time.
//
// User-interface thread only, like every call into TComPort. Reads never wait: under the
// component's default timeouts ReadStr returns at once with what is queued. The exchange's
// fixed wait is a plain sleep of the calling thread until civdelay after the start of its
// write (an absolute deadline, so neither the write's own time nor a late start of the sleep
// lengthens it); the fast exchange's wait, to the same deadline, blocks in poll() on the
// port's descriptor (civ/LineWait.h). A sleep that follows no write (the transceive monitor's)
// counts from the call. The fast exchange's wait takes nothing from the port: the bytes are
// read through ReadStr like any others, so the component's count of what its event thread has
// reported stays right, and the received-data handler is not called for bytes the exchange has
// taken. Errors of the component (EComPort) pass through unchanged.

#include "civ/PortIo.h"
#include "core/ProgramState.h"
#include "serial/CPort.h"

#include <chrono>
#include <optional>
#include <string>

namespace memvane {

class ComPortIo : public PortIo {
public:
    explicit ComPortIo(TCustomComPort& port) : m_port(port) {}

    void ensureOpen() override;
    void clearBuffers() override;
    int write(const std::string& bytes) override;
    std::string read(int maxCount) override;
    void sleepMs(int ms) override;
    InputWait waitForInput(int ms) override;

private:
    using Clock = std::chrono::steady_clock;

    TCustomComPort& m_port;
    std::optional<Clock::time_point> m_written; // start of the write the next wait counts from
};

// The values the main window's design gives ComPort1, which "ComPort.ini" may then change: COM1
// at 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS off, every
// line event. The window sets them while the component is loading; a program without windows
// sets them the same way before it reads the settings file.
void applyDesignValues(TCustomComPort& port);

// Loads "ComPort.ini" (the component's section) into a port that has the design values: the
// basic settings the file holds, and also the flow-control keys when the user has written them
// (FlowControl.ControlDTR=Enable and FlowControl.ControlRTS=Enable power an interface from the
// port's lines). Storing keeps to the basic settings, so those keys stay as the user wrote
// them. Throws what LoadSettings throws.
void loadPortSettings(TCustomComPort& port, const std::string& iniPath);

// ComPort1RxChar's work on the component: drains its receive queue, decodes the broadcasts into
// rxfreq/rxmode/rxfilter and returns Memo3's text. Never throws.
std::string monitorTransceive(TCustomComPort& port, ProgramState& state);

} // namespace memvane
