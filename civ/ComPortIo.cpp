#include "civ/ComPortIo.h"

#include "civ/Transceive.h"

#include <chrono>
#include <thread>

namespace memvane {

void ComPortIo::ensureOpen() { m_port.SetConnected(true); }

void ComPortIo::clearBuffers() { m_port.ClearBuffer(true, true); }

int ComPortIo::write(const std::string& bytes) { return m_port.WriteStr(bytes); }

std::string ComPortIo::read(int maxCount)
{
    std::string bytes;
    m_port.ReadStr(bytes, maxCount);
    return bytes;
}

void ComPortIo::sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

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

std::string monitorTransceive(TCustomComPort& port, ProgramState& state)
{
    ComPortIo io(port);
    return ComPort1RxCharLogic(
        state, [&] { return io.read(1); }, [&](int ms) { io.sleepMs(ms); });
}

} // namespace memvane
