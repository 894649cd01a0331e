#include "serial/CPort.h"

#include "serial/ComBackend.h"

#include <algorithm>
#include <cerrno>

namespace memvane {

// ---- Queries and line control ------------------------------------------------------------

// The device's queue state, and in `errors` its line errors (which it clears).
TComStat TCustomComPort::commStatus(std::uint32_t& errors)
{
    TComStat stat;
    int err = FHandle ? FHandle->clearCommError(errors, stat) : EBADF;
    if (err)
        raise(CError_ClearComFailed, err);
    return stat;
}

int TCustomComPort::InputCount()
{
    if (FInputCountNotSupported)
        return 0;
    std::uint32_t errors = 0;
    return static_cast<int>(commStatus(errors).InQueue);
}

int TCustomComPort::OutputCount()
{
    std::uint32_t errors = 0;
    return static_cast<int>(commStatus(errors).OutQueue);
}

int TCustomComPort::StateFlags()
{
    std::uint32_t errors = 0;
    return static_cast<int>(commStatus(errors).Flags & 0xFF);
}

TComErrors TCustomComPort::LastErrors()
{
    std::uint32_t errors = 0;
    commStatus(errors);
    return LineErrorsToErrors(errors, FParity->Check());
}

TComSignals TCustomComPort::Signals()
{
    if (!FOverlapped)
        return {};
    std::uint32_t status = 0;
    int err = FHandle ? FHandle->getModemStatus(status) : EBADF;
    if (err)
        raise(CError_ModemStatFailed, err);
    return ModemStatusToSignals(status);
}

void TCustomComPort::escapeLine(std::uint32_t function)
{
    int err = FHandle ? FHandle->escapeCommFunction(function) : EBADF;
    if (err)
        raise(CError_EscapeComFailed, err);
}

void TCustomComPort::SetDTR(bool OnOff)
{
    escapeLine(OnOff ? SETDTR : CLRDTR);
}

void TCustomComPort::SetRTS(bool OnOff)
{
    escapeLine(OnOff ? SETRTS : CLRRTS);
}

void TCustomComPort::SetBreak(bool OnOff)
{
    escapeLine(OnOff ? SETBREAK : CLRBREAK);
}

void TCustomComPort::SetXonXoff(bool OnOff)
{
    escapeLine(OnOff ? SETXON : SETXOFF);
}

void TCustomComPort::TransmitChar(char Ch)
{
    int err = FHandle ? FHandle->transmitCommChar(static_cast<std::uint8_t>(Ch)) : EBADF;
    if (err)
        raise(CError_TransmitFailed, err);
}

TComEvents TCustomComPort::WaitForEvent(TComEvents Events, ComEvent* StopEvent, int Timeout)
{
    if (FThreadCreated)
        throw EComPort(CError_ThreadCreated);
    if (!FHandle)
        raise(CError_WaitFailed, EBADF);
    if (int err = FHandle->setCommMask(EventsToMask(Events)))
        raise(CError_WaitFailed, err);
    std::uint32_t mask = 0;
    int err = 0;
    ComWaitResult r = FHandle->waitCommEvent(StopEvent, Timeout, mask, err);
    FHandle->setCommMask(0);
    if (r == ComWaitResult::Failed)
        raise(CError_WaitFailed, err);
    if (r != ComWaitResult::Events)
        return {};
    return MaskToEvents(mask) & Events;
}

void TCustomComPort::RegisterLink(TComLink* AComLink)
{
    if (!AComLink || std::find(FLinks.begin(), FLinks.end(), AComLink) != FLinks.end())
        throw EComPort(CError_RegFailed);
    FLinks.push_back(AComLink);
    FHasLink = std::any_of(FLinks.begin(), FLinks.end(),
                           [](TComLink* l) { return static_cast<bool>(l->OnRxBuf); });
}

void TCustomComPort::UnRegisterLink(TComLink* AComLink)
{
    auto it = std::find(FLinks.begin(), FLinks.end(), AComLink);
    if (!AComLink || it == FLinks.end())
        throw EComPort(CError_RegFailed);
    FLinks.erase(it);
    FHasLink = std::any_of(FLinks.begin(), FLinks.end(),
                           [](TComLink* l) { return static_cast<bool>(l->OnRxBuf); });
}
} // namespace memvane
