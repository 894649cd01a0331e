#include "serial/ComThread.h"

#include "serial/CPort.h"
#include "serial/ComBackend.h"
#include "serial/MainThreadQueue.h"

#include <atomic>
#include <cstdint>
#include <exception>

namespace memvane {

namespace {
const TComEvent kHandlingOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                    evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};
} // namespace

struct TComThread::State
{
    TCustomComPort* FComPort = nullptr; // null once the port let go of the thread
    std::shared_ptr<ComEvent> FStopEvent;
    std::atomic<std::uint32_t> FEvents{0};

    std::shared_ptr<ComDevice> device;
    std::shared_ptr<TComBackend> backend;
    std::shared_ptr<TCustomComPort::WindowToken> window;
    TSyncMethod sync = smThreadSync;
    TThreadPriority priority = tpNormal;
    std::atomic<bool> finished{false};
    std::atomic<int> waits{0};
    std::atomic<std::thread::id> threadId{};
    bool inMainHandling = false; // main thread only
};

TComThread::TComThread(TCustomComPort* AComPort) : m_state(std::make_shared<State>())
{
    State& st = *m_state;
    st.FComPort = AComPort;
    st.device = AComPort->FHandle;
    st.backend = AComPort->m_backend;
    st.window = AComPort->FWindow;
    st.sync = AComPort->FSyncMethod;
    st.priority = AComPort->FEventThreadPriority;
    st.FStopEvent = st.backend->createEvent();
    st.device->setCommMask(EventsToMask(AComPort->FEvents));
    m_thread = std::thread(execute, m_state);
}

TComThread::~TComThread()
{
    if (m_thread.joinable())
        Stop();
}

bool TComThread::Finished() const
{
    return m_state->finished.load();
}
int TComThread::WaitCount() const
{
    return m_state->waits.load();
}
TComEvents TComThread::Events() const
{
    return TComEvents::FromBits(m_state->FEvents.load());
}

void TComThread::Stop()
{
    if (!m_thread.joinable())
        return;
    m_state->FStopEvent->set();
    std::this_thread::yield();
    if (mainthread::IsMainThread()) {
        std::shared_ptr<State> st = m_state;
        mainthread::ServiceUntil([st] { return st->finished.load(); });
    }
    m_thread.join();
}

bool TComThread::calledFromHandling() const
{
    return m_state->inMainHandling || m_state->threadId.load() == std::this_thread::get_id();
}

void TComThread::abandon()
{
    m_state->FComPort = nullptr;
    m_state->FStopEvent->set();
    if (m_thread.joinable())
        m_thread.detach();
}

void TComThread::execute(std::shared_ptr<State> st)
{
    st->threadId = std::this_thread::get_id();
    if (st->priority != tpNormal)
        st->backend->setThreadPriority(st->priority);
    bool closingSteps = true;
    bool stopped = false;
    for (;;) {
        std::uint32_t mask = 0;
        int err = 0;
        ComWaitResult r = st->device->waitCommEvent(st->FStopEvent.get(), -1, mask, err);
        ++st->waits;
        if (r == ComWaitResult::TimedOut)
            continue;
        if (r != ComWaitResult::Events) {
            stopped = r == ComWaitResult::Stopped; // else the wait failed (hang-up)
            break;
        }
        TComEvents events = MaskToEvents(mask);
        st->FEvents = events.Bits();
        if (events.Empty())
            continue;
        if (!dispatch(*st, events)) {
            closingSteps = false; // a handler failed: end at once
            break;
        }
    }
    if (closingSteps) {
        st->device->setCommMask(0);
        st->device->purge(PURGE_RXCLEAR | PURGE_TXCLEAR);
    }
    // Posted, not waited for: the close waits for this thread to end.
    if (!stopped && !st->device->lostReason().empty())
        mainthread::Post([weak = std::weak_ptr<State>(st)] { deviceLost(weak); });
    st->finished = true;
    mainthread::Notify();
}

void TComThread::deviceLost(const std::weak_ptr<State>& weak)
{
    // The state outlives this thread only while the port still holds it: once the port has
    // stopped the thread (closed, reopened on a new device, destroyed) there is nothing to do,
    // and a port that let go of it from inside a handling has cleared FComPort.
    std::shared_ptr<State> st = weak.lock();
    if (st && st->FComPort)
        st->FComPort->closeLostDevice();
}

bool TComThread::dispatch(State& st, TComEvents events)
{
    switch (st.sync) {
    case smThreadSync: {
        std::exception_ptr error = mainthread::RunSync([&st, events] {
            TCustomComPort* port = st.FComPort;
            if (!port)
                return;
            st.inMainHandling = true;
            struct Reset
            {
                bool& flag;
                ~Reset() { flag = false; }
            } reset{st.inMainHandling};
            port->HandleEvents(events);
        });
        return !error;
    }
    case smNone:
        try {
            if (st.FComPort)
                st.FComPort->HandleEvents(events);
        } catch (...) {
            return false;
        }
        return true;
    case smWindowSync:
        for (TComEvent ev : kHandlingOrder) {
            if (!events.Contains(ev) || !st.window)
                continue;
            mainthread::Post([window = st.window, ev] {
                TCustomComPort* port = window->port;
                if (port && port->Connected())
                    port->HandleEvents(TComEvents{ev});
            });
        }
        return true;
    case smDisableEvents:
        return true;
    }
    return true;
}

} // namespace memvane
