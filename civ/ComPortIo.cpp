#include "civ/ComPortIo.h"

#include "civ/LineWait.h"
#include "civ/Transceive.h"

#include <chrono>

namespace memvane {

void ComPortIo::ensureOpen() { m_port.SetConnected(true); }

void ComPortIo::clearBuffers() { m_port.ClearBuffer(true, true); }

int ComPortIo::write(const std::string& bytes)
{
    m_written = Clock::now();
    return m_port.WriteStr(bytes);
}

std::string ComPortIo::read(int maxCount)
{
    std::string bytes;
    m_port.ReadStr(bytes, maxCount);
    return bytes;
}

void ComPortIo::sleepMs(int ms)
{
    const Clock::time_point from = m_written.value_or(Clock::now());
    m_written.reset(); // the exchange's wait is over; a later sleep counts from its own call
    linewait::sleepUntil(from + std::chrono::milliseconds(ms));
}

InputWait ComPortIo::waitForInput(int ms)
{
    std::intptr_t fd = m_port.Handle();
    if (fd < 0)
        return InputWait::Unsupported;
    if (!m_written)
        m_written = Clock::now();
    return linewait::waitReadable(fd, *m_written + std::chrono::milliseconds(ms));
}

void applyDesignValues(TCustomComPort& port)
{
    port.SetBaudRate(br19200);
    port.SetPort("COM1");
    port.Parity().SetBits(prNone);
    port.SetStopBits(sbOneStopBit);
    port.SetDataBits(dbEight);
    port.SetEvents({evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD,
                    evRx80Full});
    port.FlowControl().SetOutCTSFlow(false);
    port.FlowControl().SetOutDSRFlow(false);
    port.FlowControl().SetControlDTR(dtrDisable);
    port.FlowControl().SetControlRTS(rtsDisable);
    port.FlowControl().SetXonXoffOut(false);
    port.FlowControl().SetXonXoffIn(false);
}

void loadPortSettings(TCustomComPort& port, const std::string& iniPath)
{
    // A key the file lacks keeps the port's value, so the wider set changes nothing else.
    const TStoredProps stored = port.StoredProps();
    TStoredProps loaded = stored;
    loaded.Include(spFlowControl);
    port.SetStoredProps(loaded);
    try {
        port.LoadSettings(stIniFile, iniPath);
    } catch (...) {
        port.SetStoredProps(stored);
        throw;
    }
    port.SetStoredProps(stored);
}

std::string monitorTransceive(TCustomComPort& port, ProgramState& state)
{
    ComPortIo io(port);
    return ComPort1RxCharLogic(
        state, [&] { return io.read(1); }, [&](int ms) { io.sleepMs(ms); });
}

} // namespace memvane
