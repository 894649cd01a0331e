#include "serial/CPort.h"

#include <atomic>
#include <memory>

namespace memvane {

// ---- Handling of line events -------------------------------------------------------------

void TCustomComPort::notifySignal(TComSignal which, TComLinkFlagEvent TComLink::*slot,
                                  TComSignalEvent& own)
{
    bool on = Signals().Contains(which);
    notifyLinks(slot, on);
    if (own)
        own(this, on);
}

void TCustomComPort::receiveHandling()
{
    if (FInputCountNotSupported)
        return;
    std::shared_ptr<std::atomic<bool>> alive = m_alive;
    int Count = InputCount();
    if (Count > 0) {
        notifyLinks(&TComLink::OnRx, true);
        if (!*alive)
            return;
    }
    if (Count > 0 && (!FTriggersOnRxChar || FHasLink)) {
        std::unique_ptr<char[]> buf;
        int got = 0;
        bool taken = false;
        auto take = [&] {
            buf = std::make_unique<char[]>(static_cast<std::size_t>(Count));
            got = Read(buf.get(), Count);
            taken = true;
            if (OnRxBuf)
                OnRxBuf(this, buf.get(), got);
        };
        std::vector<TComLink*> links = FLinks;
        for (TComLink* l : links) {
            if (!l->OnRxBuf)
                continue;
            if (!taken)
                take();
            if (!*alive)
                return;
            l->OnRxBuf(this, buf.get(), got);
            if (!*alive)
                return;
        }
        if (!taken && !FTriggersOnRxChar) {
            take();
            if (!*alive)
                return;
        }
        if (taken)
            Count = 0;
    }
    if (Count > 0 && OnRxChar)
        OnRxChar(this, Count);
}

void TCustomComPort::HandleEvents(TComEvents Events)
{
    // Every handler may close or even destroy the port; stop touching it once it is gone.
    std::shared_ptr<std::atomic<bool>> alive = m_alive;
    auto gone = [&] { return !*alive; };
    if (Events.Contains(evError)) {
        TComErrors errors = LastErrors();
        if (!errors.Empty() && OnError)
            OnError(this, errors);
        if (gone())
            return;
    }
    if (Events.Contains(evRxChar)) {
        receiveHandling();
        if (gone())
            return;
    }
    if (Events.Contains(evTxEmpty)) {
        notifyLinks(&TComLink::OnTx, false);
        notifyLinks(&TComLink::OnTxEmpty);
        if (OnTxEmpty)
            OnTxEmpty(this);
        if (gone())
            return;
    }
    if (Events.Contains(evBreak) && OnBreak) {
        OnBreak(this);
        if (gone())
            return;
    }
    if (Events.Contains(evRing)) {
        notifyLinks(&TComLink::OnRing);
        if (OnRing)
            OnRing(this);
        if (gone())
            return;
    }
    if (Events.Contains(evCTS)) {
        notifySignal(csCTS, &TComLink::OnCTSChange, OnCTSChange);
        if (gone())
            return;
    }
    if (Events.Contains(evDSR)) {
        notifySignal(csDSR, &TComLink::OnDSRChange, OnDSRChange);
        if (gone())
            return;
    }
    if (Events.Contains(evRxFlag)) {
        notifyLinks(&TComLink::OnRxFlag);
        if (OnRxFlag)
            OnRxFlag(this);
        if (gone())
            return;
    }
    if (Events.Contains(evRLSD)) {
        notifySignal(csRLSD, &TComLink::OnRLSDChange, OnRLSDChange);
        if (gone())
            return;
    }
    if (Events.Contains(evRx80Full) && OnRx80Full)
        OnRx80Full(this);
}

} // namespace memvane
