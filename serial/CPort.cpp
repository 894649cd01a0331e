#include "serial/CPort.h"

#include "core/ExceptionHandler.h"
#include "serial/ComBackend.h"
#include "serial/MainThreadQueue.h"

#include <algorithm>

namespace memvane {

// ---- The port ----------------------------------------------------------------------------

TCustomComPort::TCustomComPort(std::string name, std::shared_ptr<TComBackend> backend)
    : FName(std::move(name)), m_backend(backend ? std::move(backend) : DefaultComBackend()),
      FBuffer(std::make_unique<TComBuffer>()), FParity(std::make_unique<TComParity>()),
      FTimeouts(std::make_unique<TComTimeouts>()), FFlowControl(std::make_unique<TComFlowControl>())
{
    FBuffer->FComPort = this;
    FParity->FComPort = this;
    FTimeouts->FComPort = this;
    FFlowControl->FComPort = this;
    mainthread::Attach();
}

TCustomComPort::~TCustomComPort()
{
    *m_alive = false;
    try {
        Close();
    } catch (...) {
        // Close could not abort the transfers; end everything regardless.
        letGo();
    }
    FReadAsyncPtr.reset();
    FWriteAsyncPtr.reset();
    // Moved out first: a listener may unregister itself while it is told.
    auto listeners = std::move(m_freeNotify);
    for (auto& listener : listeners)
        listener.second();
}

void TCustomComPort::FreeNotification(const void* key, std::function<void()> onDestroy)
{
    for (auto& listener : m_freeNotify) {
        if (listener.first == key) {
            listener.second = std::move(onDestroy);
            return;
        }
    }
    m_freeNotify.emplace_back(key, std::move(onDestroy));
}

void TCustomComPort::RemoveFreeNotification(const void* key)
{
    std::erase_if(m_freeNotify, [key](const auto& listener) { return listener.first == key; });
}

void TCustomComPort::raise(int code, int err)
{
    std::string reason = FHandle ? FHandle->lostReason() : std::string();
    if (!reason.empty())
        closeLostDevice();
    throw EComPort(code, err, FPort, std::move(reason));
}

void TCustomComPort::BeginLoading()
{
    FLoading = true;
}

void TCustomComPort::Loaded()
{
    FLoading = false;
    if (!FConnected)
        return;
    FConnected = false;
    try {
        Open();
    } catch (const std::exception& e) {
        HandleApplicationException(e);
    }
}

void TCustomComPort::SetConnected(bool Value)
{
    if (FLoading) {
        FConnected = Value;
        return;
    }
    if (Value == FConnected)
        return;
    if (Value)
        Open();
    else
        Close();
}

std::intptr_t TCustomComPort::Handle() const
{
    return FHandle ? FHandle->nativeHandle() : -1;
}

std::shared_ptr<ComEvent> TCustomComPort::CreateEvent()
{
    return m_backend->createEvent();
}

// Opening: device, settings, event delivery, then the open notifications.
void TCustomComPort::Open()
{
    if (FConnected)
        return;
    mainthread::Attach(); // the port may have been made before the application object
    if (OnBeforeOpen)
        OnBeforeOpen(this);
    ComOpenError why;
    std::shared_ptr<ComDevice> device = m_backend->open(FPort, FOverlapped, why);
    if (!device)
        throw EComPort(CError_OpenFailed, why.error, FPort, why.detail);
    FHandle = std::move(device);
    FConnected = true;
    try {
        FOpening = true;
        ApplySettings();
        FOpening = false;
    } catch (...) {
        FOpening = false;
        closeDevice();
        FConnected = false;
        throw;
    }
    if (!FEvents.Empty()) {
        if (FSyncMethod == smWindowSync)
            FWindow = std::make_shared<WindowToken>(WindowToken{this});
        if (FOverlapped) {
            FEventThread = std::make_unique<TComThread>(this);
            FThreadCreated = true;
        }
    }
    notifyLinks(&TComLink::OnConn, true);
    if (OnAfterOpen)
        OnAfterOpen(this);
    notifySignal(csCTS, &TComLink::OnCTSChange, OnCTSChange);
    notifySignal(csDSR, &TComLink::OnDSRChange, OnDSRChange);
    notifySignal(csRLSD, &TComLink::OnRLSDChange, OnRLSDChange);
}

void TCustomComPort::Close()
{
    // A handling run inside Close may call Close again; the outer call finishes the job.
    if (!FConnected || FClosing)
        return;
    FClosing = true;
    struct Done
    {
        bool& flag;
        ~Done() { flag = false; }
    } done{FClosing};
    forLinks([this](TComLink& l) {
        if (l.OnCTSChange)
            l.OnCTSChange(this, false);
        if (l.OnDSRChange)
            l.OnDSRChange(this, false);
        if (l.OnRLSDChange)
            l.OnRLSDChange(this, false);
    });
    if (OnCTSChange)
        OnCTSChange(this, false);
    if (OnDSRChange)
        OnDSRChange(this, false);
    if (OnRLSDChange)
        OnRLSDChange(this, false);
    if (OnBeforeClose)
        OnBeforeClose(this);
    if (FOverlapped)
        AbortAllAsync();
    stopEventThread();
    if (FWindow) {
        FWindow->port = nullptr; // posted handlings not yet run are dropped
        FWindow.reset();
    }
    closeDevice();
    FConnected = false;
    notifyLinks(&TComLink::OnConn, false);
    if (OnAfterClose)
        OnAfterClose(this);
}

void TCustomComPort::stopEventThread()
{
    if (!FEventThread) {
        FThreadCreated = false;
        return;
    }
    std::unique_ptr<TComThread> thread = std::move(FEventThread);
    FThreadCreated = false;
    if (thread->calledFromHandling()) {
        thread->abandon();
        FHandle.reset(); // the thread closes the device when it ends
        return;
    }
    thread->Stop();
}

void TCustomComPort::closeDevice()
{
    if (!FHandle)
        return;
    std::shared_ptr<ComDevice> device = std::move(FHandle);
    device->close();
}

void TCustomComPort::letGo()
{
    stopEventThread();
    if (FWindow) {
        FWindow->port = nullptr;
        FWindow.reset();
    }
    closeDevice();
    FConnected = false;
}

// Nothing will ever work on a device that hung up: close the port, so that the next Open looks
// the device up again by its name (a re-plugged adapter, a restarted radio). Open and Close
// under way finish the job themselves; the event thread leaves it to the main thread.
void TCustomComPort::closeLostDevice()
{
    if (!FConnected || FOpening || FClosing || !mainthread::IsMainThread())
        return;
    try {
        Close();
    } catch (...) {
        letGo(); // the caller's error says more than this one
    }
}

void TCustomComPort::BeginUpdate()
{
    ++FUpdateCount;
}

void TCustomComPort::EndUpdate()
{
    if (FUpdateCount <= 0)
        return;
    if (--FUpdateCount == 0)
        ApplySettings();
}

bool TCustomComPort::canApply() const
{
    return FConnected && FHandle && FUpdateCount == 0 && !FLoading;
}

void TCustomComPort::ApplyBuffer()
{
    if (!canApply())
        return;
    int err = FHandle->setupComm(static_cast<std::uint32_t>(FBuffer->InputSize()),
                                 static_cast<std::uint32_t>(FBuffer->OutputSize()));
    if (err)
        raise(CError_SetupComFailed, err);
}

void TCustomComPort::ApplyDCB()
{
    if (!canApply())
        return;
    TComDCB dcb = BuildDCB(FBaudRate, FCustomBaudRate, FStopBits, FDataBits, *FParity,
                           *FFlowControl, *FBuffer, FDiscardNull, FEventChar);
    int err = FHandle->setCommState(dcb);
    if (err)
        raise(CError_SetStateFailed, err);
}

void TCustomComPort::ApplyTimeouts()
{
    if (!canApply())
        return;
    TComTimeoutValues t;
    t.ReadIntervalTimeout = static_cast<std::uint32_t>(FTimeouts->ReadInterval());
    t.ReadTotalTimeoutMultiplier = static_cast<std::uint32_t>(FTimeouts->ReadTotalMultiplier());
    t.ReadTotalTimeoutConstant = static_cast<std::uint32_t>(FTimeouts->ReadTotalConstant());
    t.WriteTotalTimeoutMultiplier = static_cast<std::uint32_t>(FTimeouts->WriteTotalMultiplier());
    t.WriteTotalTimeoutConstant = static_cast<std::uint32_t>(FTimeouts->WriteTotalConstant());
    int err = FHandle->setCommTimeouts(t);
    if (err)
        raise(CError_TimeoutsFailed, err);
}

void TCustomComPort::ApplySettings()
{
    if (!canApply())
        return;
    ApplyBuffer();
    ApplyDCB();
    ApplyTimeouts();
}

// ---- Property setters --------------------------------------------------------------------

void TCustomComPort::SetPort(const std::string& Value)
{
    if (Value == FPort)
        return;
    FPort = Value;
    if (FConnected && !FLoading) {
        Close();
        Open();
    }
}

void TCustomComPort::SetBaudRate(TBaudRate Value)
{
    if (storeChanged(FBaudRate, Value))
        ApplyDCB();
}

void TCustomComPort::SetCustomBaudRate(int Value)
{
    if (storeChanged(FCustomBaudRate, Value))
        ApplyDCB();
}

void TCustomComPort::SetStopBits(TStopBits Value)
{
    if (storeChanged(FStopBits, Value))
        ApplyDCB();
}

void TCustomComPort::SetDataBits(TDataBits Value)
{
    if (storeChanged(FDataBits, Value))
        ApplyDCB();
}

void TCustomComPort::SetDiscardNull(bool Value)
{
    if (storeChanged(FDiscardNull, Value))
        ApplyDCB();
}

void TCustomComPort::SetEventChar(TComChar Value)
{
    if (storeChanged(FEventChar, Value))
        ApplyDCB();
}

namespace {
// A value the port hands to its event thread at Open: an open port refuses a change.
template <typename T> void storeWhileClosed(T& field, T value, bool open)
{
    if (value == field)
        return;
    if (open)
        throw EComPort(CError_ConnChangeProp);
    field = value;
}
} // namespace

void TCustomComPort::SetSyncMethod(TSyncMethod Value)
{
    storeWhileClosed(FSyncMethod, Value, FConnected && !FLoading);
}

void TCustomComPort::SetEventThreadPriority(TThreadPriority Value)
{
    storeWhileClosed(FEventThreadPriority, Value, FConnected && !FLoading);
}

void TCustomComPort::SetTriggersOnRxChar(bool Value)
{
    if (FHasLink)
        throw EComPort(CError_HasLink);
    FTriggersOnRxChar = Value;
}

void TCustomComPort::SetOverlapped(bool Value)
{
    if (!FConnected || FLoading)
        FOverlapped = Value;
}
} // namespace memvane
