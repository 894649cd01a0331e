#include "civ/ComPortIo.h"

#include "civ/LineWait.h"
#include "civ/Transceive.h"

#include <chrono>

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

void ComPortIo::sleepMs(int ms)
{
    linewait::sleepUntil(Clock::now() + std::chrono::milliseconds(ms));
}

InputWait ComPortIo::waitForInput(Clock::time_point deadline)
{
    std::intptr_t fd = m_port.Handle();
    if (fd < 0)
        return InputWait::Unsupported;
    return linewait::waitReadable(static_cast<int>(fd), deadline);
}

std::string monitorTransceive(TCustomComPort& port, ProgramState& state)
{
    ComPortIo io(port);
    return ComPort1RxCharLogic(
        state, [&] { return io.read(1); }, [&](int ms) { io.sleepMs(ms); });
}

} // namespace memvane
