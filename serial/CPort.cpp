#include "serial/CPort.h"

#include "core/ExceptionHandler.h"
#include "serial/ComBackend.h"
#include "serial/MainThreadQueue.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace memvane {

// ---- EComPort ----------------------------------------------------------------------------

namespace {

const char* const kErrorTexts[] = {
    "",
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};
constexpr int kErrorTextCount = static_cast<int>(sizeof kErrorTexts / sizeof kErrorTexts[0]);

} // namespace

std::string EComPort::CodeText(int code)
{
    if (code >= 1 && code < kErrorTextCount)
        return kErrorTexts[code];
    return "Unknown Error #" + std::to_string(code);
}

EComPort::EComPort(int ACode)
    : AppError("COM Port Error: " + CodeText(ACode)), FWinCode(-1), FCode(ACode)
{
}

EComPort::EComPort(int ACode, int AWinCode, const std::string& portName, std::string detail)
    : AppError("COM Port Error: " + CodeText(ACode) + " on " +
               (ACode == CError_RegError ? std::string("registry read") : portName)),
      FWinCode(AWinCode), FCode(ACode), m_detail(std::move(detail))
{
}

// ---- Value objects -----------------------------------------------------------------------

void TComPersistent::Assign(const TComPersistent& Source)
{
    AssignError(Source);
}

void TComPersistent::AssignError(const TComPersistent& Source) const
{
    throw EConvertError(std::string("Cannot assign a ") + Source.ClassName() + " to a " +
                        ClassName());
}

void TComParity::changed()
{
    if (FComPort)
        FComPort->ApplyDCB();
}

void TComParity::Assign(const TComPersistent& Source)
{
    auto* src = dynamic_cast<const TComParity*>(&Source);
    if (!src)
        AssignError(Source);
    FBits = src->FBits;
    FCheck = src->FCheck;
    FReplace = src->FReplace;
    FReplaceChar = src->FReplaceChar;
    changed();
}

void TComParity::SetBits(TParityBits Value)
{
    if (Value != FBits) {
        FBits = Value;
        changed();
    }
}

void TComParity::SetCheck(bool Value)
{
    if (Value != FCheck) {
        FCheck = Value;
        changed();
    }
}

void TComParity::SetReplace(bool Value)
{
    if (Value != FReplace) {
        FReplace = Value;
        changed();
    }
}

void TComParity::SetReplaceChar(TComChar Value)
{
    if (Value != FReplaceChar) {
        FReplaceChar = Value;
        changed();
    }
}

void TComFlowControl::changed()
{
    if (FComPort)
        FComPort->ApplyDCB();
}

void TComFlowControl::Assign(const TComPersistent& Source)
{
    auto* src = dynamic_cast<const TComFlowControl*>(&Source);
    if (!src)
        AssignError(Source);
    FOutCTSFlow = src->FOutCTSFlow;
    FOutDSRFlow = src->FOutDSRFlow;
    FControlDTR = src->FControlDTR;
    FControlRTS = src->FControlRTS;
    FXonXoffOut = src->FXonXoffOut;
    FXonXoffIn = src->FXonXoffIn;
    FDSRSensitivity = src->FDSRSensitivity;
    FTxContinueOnXoff = src->FTxContinueOnXoff;
    FXonChar = src->FXonChar;
    FXoffChar = src->FXoffChar;
    changed();
}

namespace {
template <typename T> bool store(T& field, T value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}
} // namespace

void TComFlowControl::SetOutCTSFlow(bool Value)
{
    if (store(FOutCTSFlow, Value))
        changed();
}
void TComFlowControl::SetOutDSRFlow(bool Value)
{
    if (store(FOutDSRFlow, Value))
        changed();
}
void TComFlowControl::SetControlDTR(TDTRFlowControl Value)
{
    if (store(FControlDTR, Value))
        changed();
}
void TComFlowControl::SetControlRTS(TRTSFlowControl Value)
{
    if (store(FControlRTS, Value))
        changed();
}
void TComFlowControl::SetXonXoffOut(bool Value)
{
    if (store(FXonXoffOut, Value))
        changed();
}
void TComFlowControl::SetXonXoffIn(bool Value)
{
    if (store(FXonXoffIn, Value))
        changed();
}
void TComFlowControl::SetDSRSensitivity(bool Value)
{
    if (store(FDSRSensitivity, Value))
        changed();
}
void TComFlowControl::SetTxContinueOnXoff(bool Value)
{
    if (store(FTxContinueOnXoff, Value))
        changed();
}
void TComFlowControl::SetXonChar(TComChar Value)
{
    if (store(FXonChar, Value))
        changed();
}
void TComFlowControl::SetXoffChar(TComChar Value)
{
    if (store(FXoffChar, Value))
        changed();
}

TFlowControl TComFlowControl::FlowControl() const
{
    if (FControlRTS == rtsHandshake && FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut)
        return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl Value)
{
    if (Value != fcCustom) {
        FControlRTS = rtsDisable;
        FOutCTSFlow = false;
        FXonXoffIn = false;
        FXonXoffOut = false;
        if (Value == fcHardware) {
            FControlRTS = rtsHandshake;
            FOutCTSFlow = true;
        } else if (Value == fcSoftware) {
            FXonXoffIn = true;
            FXonXoffOut = true;
        }
    }
    changed();
}

void TComTimeouts::changed()
{
    if (FComPort)
        FComPort->ApplyTimeouts();
}

void TComTimeouts::Assign(const TComPersistent& Source)
{
    auto* src = dynamic_cast<const TComTimeouts*>(&Source);
    if (!src)
        AssignError(Source);
    FReadInterval = src->FReadInterval;
    FReadTotalM = src->FReadTotalM;
    FReadTotalC = src->FReadTotalC;
    FWriteTotalM = src->FWriteTotalM;
    FWriteTotalC = src->FWriteTotalC;
    changed();
}

void TComTimeouts::SetReadInterval(int Value)
{
    if (store(FReadInterval, Value))
        changed();
}
void TComTimeouts::SetReadTotalMultiplier(int Value)
{
    if (store(FReadTotalM, Value))
        changed();
}
void TComTimeouts::SetReadTotalConstant(int Value)
{
    if (store(FReadTotalC, Value))
        changed();
}
void TComTimeouts::SetWriteTotalMultiplier(int Value)
{
    if (store(FWriteTotalM, Value))
        changed();
}
void TComTimeouts::SetWriteTotalConstant(int Value)
{
    if (store(FWriteTotalC, Value))
        changed();
}

void TComBuffer::changed()
{
    if (FComPort)
        FComPort->ApplyBuffer();
}

void TComBuffer::Assign(const TComPersistent& Source)
{
    auto* src = dynamic_cast<const TComBuffer*>(&Source);
    if (!src)
        AssignError(Source);
    FInputSize = src->FInputSize;
    FOutputSize = src->FOutputSize;
    changed();
}

namespace {
// Queue sizes are kept even.
int evenSize(int value)
{
    return value > 0 && value % 2 == 1 ? value - 1 : value;
}
} // namespace

void TComBuffer::SetInputSize(int Value)
{
    if (store(FInputSize, evenSize(Value)))
        changed();
}

void TComBuffer::SetOutputSize(int Value)
{
    if (store(FOutputSize, evenSize(Value)))
        changed();
}

// ---- Line-settings block -----------------------------------------------------------------

TComDCB BuildDCB(TBaudRate BaudRate, int CustomBaudRate, TStopBits StopBits, TDataBits DataBits,
                 const TComParity& Parity, const TComFlowControl& FlowControl,
                 const TComBuffer& Buffer, bool DiscardNull, TComChar EventChar)
{
    TComDCB dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate =
        BaudRate == brCustom ? static_cast<std::uint32_t>(CustomBaudRate) : BaudRateToInt(BaudRate);
    std::uint32_t f = DCB_fBinary;
    if (Parity.Check())
        f |= DCB_fParity;
    if (FlowControl.OutCTSFlow())
        f |= DCB_fOutxCtsFlow;
    if (FlowControl.OutDSRFlow())
        f |= DCB_fOutxDsrFlow;
    f |= DTRToFlags(FlowControl.ControlDTR());
    if (FlowControl.DSRSensitivity())
        f |= DCB_fDsrSensitivity;
    if (FlowControl.TxContinueOnXoff())
        f |= DCB_fTXContinueOnXoff;
    if (FlowControl.XonXoffOut())
        f |= DCB_fOutX;
    if (FlowControl.XonXoffIn())
        f |= DCB_fInX;
    const bool replace = Parity.Check() && Parity.Replace();
    if (replace)
        f |= DCB_fErrorChar;
    if (DiscardNull)
        f |= DCB_fNull;
    f |= RTSToFlags(FlowControl.ControlRTS());
    dcb.Flags = f;
    dcb.XonLim = static_cast<std::uint16_t>(Buffer.InputSize() / 4);
    dcb.XoffLim = static_cast<std::uint16_t>(Buffer.InputSize() / 4);
    dcb.ByteSize = DataBitsToSize(DataBits);
    dcb.Parity = ParityToCode(Parity.Bits());
    dcb.StopBits = StopBitsToCode(StopBits);
    dcb.XonChar = FlowControl.XonChar();
    dcb.XoffChar = FlowControl.XoffChar();
    dcb.ErrorChar = replace ? Parity.ReplaceChar() : 0;
    dcb.EvtChar = EventChar;
    return dcb;
}

// ---- Transfer records --------------------------------------------------------------------

struct TCPortAsync::Transfer
{
    std::thread worker;
    std::atomic<bool> completed{false};
    int error = 0;
    int count = 0;
    std::string* strTarget = nullptr; // ReadStrAsync
    void* bufTarget = nullptr;        // ReadAsync
    std::shared_ptr<ComDevice> device;
};

TCPortAsync::TCPortAsync() = default;

TCPortAsync::~TCPortAsync()
{
    // A transfer without timeouts could wait for ever: end it rather than wait for it. The
    // abort is repeated because the transfer may not have reached the device at the first one.
    if (m_transfer && m_transfer->worker.joinable() && m_transfer->device) {
        while (!m_transfer->completed) {
            m_transfer->device->purge(Kind == okRead ? PURGE_RXABORT : PURGE_TXABORT);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    finish();
}

void TCPortAsync::finish()
{
    if (m_transfer && m_transfer->worker.joinable())
        m_transfer->worker.join();
}

// ---- The port ----------------------------------------------------------------------------

struct TCustomComPort::WindowToken
{
    TCustomComPort* port; // null once the port closed or went away (main thread only)
};

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

template <typename F> void TCustomComPort::forLinks(F&& f)
{
    // A handler may (un)register links; walk a copy.
    std::vector<TComLink*> links = FLinks;
    for (TComLink* link : links)
        f(*link);
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
    forLinks([this](TComLink& l) {
        if (l.OnConn)
            l.OnConn(this, true);
    });
    if (OnAfterOpen)
        OnAfterOpen(this);
    bool cts = Signals().Contains(csCTS);
    forLinks([&](TComLink& l) {
        if (l.OnCTSChange)
            l.OnCTSChange(this, cts);
    });
    if (OnCTSChange)
        OnCTSChange(this, cts);
    bool dsr = Signals().Contains(csDSR);
    forLinks([&](TComLink& l) {
        if (l.OnDSRChange)
            l.OnDSRChange(this, dsr);
    });
    if (OnDSRChange)
        OnDSRChange(this, dsr);
    bool rlsd = Signals().Contains(csRLSD);
    forLinks([&](TComLink& l) {
        if (l.OnRLSDChange)
            l.OnRLSDChange(this, rlsd);
    });
    if (OnRLSDChange)
        OnRLSDChange(this, rlsd);
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
    forLinks([this](TComLink& l) {
        if (l.OnConn)
            l.OnConn(this, false);
    });
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
    if (store(FBaudRate, Value))
        ApplyDCB();
}

void TCustomComPort::SetCustomBaudRate(int Value)
{
    if (store(FCustomBaudRate, Value))
        ApplyDCB();
}

void TCustomComPort::SetStopBits(TStopBits Value)
{
    if (store(FStopBits, Value))
        ApplyDCB();
}

void TCustomComPort::SetDataBits(TDataBits Value)
{
    if (store(FDataBits, Value))
        ApplyDCB();
}

void TCustomComPort::SetDiscardNull(bool Value)
{
    if (store(FDiscardNull, Value))
        ApplyDCB();
}

void TCustomComPort::SetEventChar(TComChar Value)
{
    if (store(FEventChar, Value))
        ApplyDCB();
}

void TCustomComPort::SetSyncMethod(TSyncMethod Value)
{
    if (Value == FSyncMethod)
        return;
    if (FConnected && !FLoading)
        throw EComPort(CError_ConnChangeProp);
    FSyncMethod = Value;
}

void TCustomComPort::SetEventThreadPriority(TThreadPriority Value)
{
    if (Value == FEventThreadPriority)
        return;
    if (FConnected && !FLoading)
        throw EComPort(CError_ConnChangeProp);
    FEventThreadPriority = Value;
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

// ---- Transfers ---------------------------------------------------------------------------

void TCustomComPort::ClearBuffer(bool Input, bool Output)
{
    std::uint32_t flags = (Input ? PURGE_RXCLEAR : 0) | (Output ? PURGE_TXCLEAR : 0);
    int err = FHandle ? FHandle->purge(flags) : EBADF;
    if (err)
        raise(CError_PurgeFailed, err);
}

void TCustomComPort::AbortAllAsync()
{
    int err = FHandle ? FHandle->purge(PURGE_TXABORT | PURGE_RXABORT) : EBADF;
    if (err)
        raise(CError_PurgeFailed, err);
}

int TCustomComPort::WriteStr(const std::string& Str)
{
    return Write(Str.data(), static_cast<int>(Str.size()));
}

int TCustomComPort::Write(const void* Buffer, int Count)
{
    if (!FOverlapped) {
        // One blocking write; failures are counted, not raised.
        if (!FConnected || !FHandle || Count <= 0)
            return 0;
        int written = 0;
        if (FHandle->write(Buffer, Count, written) != 0) {
            ++FSyncWriteErrors;
            return 0;
        }
        return written;
    }
    if (!FWriteAsyncPtr)
        FWriteAsyncPtr = std::make_unique<TCPortAsync>();
    if (Count <= 0)
        return 0;
    return startWrite(*FWriteAsyncPtr, Buffer, Count, false);
}

int TCustomComPort::ReadStr(std::string& Str, int Count)
{
    Str.clear();
    if (Count <= 0)
        return 0;
    if (!FReadAsyncPtr)
        FReadAsyncPtr = std::make_unique<TCPortAsync>();
    TCPortAsync& rec = *FReadAsyncPtr;
    int n = startRead(rec, Count);
    if (n > 0)
        Str.assign(rec.Data.get(), static_cast<std::size_t>(n));
    return n;
}

int TCustomComPort::Read(void* Buffer, int Count)
{
    if (Count <= 0)
        return 0;
    if (!FReadAsyncPtr)
        FReadAsyncPtr = std::make_unique<TCPortAsync>();
    TCPortAsync& rec = *FReadAsyncPtr;
    int n = startRead(rec, Count);
    if (n > 0)
        std::memcpy(Buffer, rec.Data.get(), static_cast<std::size_t>(n));
    return n;
}

// A synchronous read through `rec`; the bytes land in rec.Data.
int TCustomComPort::startRead(TCPortAsync& rec, int Count)
{
    rec.finish();
    rec.Kind = okRead;
    rec.Data = std::make_unique<char[]>(static_cast<std::size_t>(Count));
    rec.Data[0] = 0;
    rec.Size = Count;
    if (!FHandle) {
        // The read cannot start (closed port): counted, or raised when asked for.
        if (FReadAsyncExceptionsEnabled)
            raise(CError_ReadFailed, EBADF);
        ++FReadAsyncErrorCount;
        FReadAsyncLastError = EBADF;
        return 0;
    }
    int n = 0;
    int err = FHandle->read(rec.Data.get(), Count, n);
    if (err)
        raise(CError_ReadFailed, err);
    if (!FInputCountNotSupported && !FLinks.empty() && InputCount() == 0) {
        forLinks([this](TComLink& l) {
            if (l.OnRx)
                l.OnRx(this, false);
        });
    }
    return n;
}

int TCustomComPort::startWrite(TCPortAsync& rec, const void* Buffer, int Count, bool async)
{
    rec.finish();
    rec.Kind = okWrite;
    rec.Data = std::make_unique<char[]>(static_cast<std::size_t>(Count));
    std::memcpy(rec.Data.get(), Buffer, static_cast<std::size_t>(Count));
    rec.Size = Count;
    if (!FHandle)
        raise(CError_WriteFailed, EBADF);
    if (async) {
        auto t = std::make_shared<TCPortAsync::Transfer>();
        rec.m_transfer = t;
        std::shared_ptr<ComDevice> device = FHandle;
        t->device = device;
        const char* data = rec.Data.get();
        t->worker = std::thread([t = t.get(), device, data, Count] {
            t->error = device->write(data, Count, t->count);
            t->completed = true;
        });
        forLinks([this](TComLink& l) {
            if (l.OnTx)
                l.OnTx(this, true);
        });
        return 0;
    }
    int n = 0;
    int err = FHandle->write(rec.Data.get(), Count, n);
    if (err)
        raise(CError_WriteFailed, err);
    forLinks([this](TComLink& l) {
        if (l.OnTx)
            l.OnTx(this, true);
    });
    if (!FInputCountNotSupported) {
        forLinks([&](TComLink& l) {
            if (l.OnTxBuf)
                l.OnTxBuf(this, rec.Data.get(), rec.Size);
        });
    }
    return n;
}

int TCustomComPort::WriteAsync(const void* Buffer, int Count, PCPortAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort(CError_InvalidAsync);
    if (Count <= 0) {
        AsyncPtr->finish();
        AsyncPtr->m_transfer.reset();
        return 0;
    }
    return startWrite(*AsyncPtr, Buffer, Count, true);
}

int TCustomComPort::WriteStrAsync(const std::string& Str, PCPortAsync AsyncPtr)
{
    return WriteAsync(Str.data(), static_cast<int>(Str.size()), AsyncPtr);
}

int TCustomComPort::ReadAsync(void* Buffer, int Count, PCPortAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort(CError_InvalidAsync);
    TCPortAsync& rec = *AsyncPtr;
    rec.finish();
    rec.m_transfer.reset();
    if (Count <= 0)
        return 0;
    rec.Kind = okRead;
    rec.Data = std::make_unique<char[]>(static_cast<std::size_t>(Count));
    rec.Data[0] = 0;
    rec.Size = Count;
    auto t = std::make_shared<TCPortAsync::Transfer>();
    t->bufTarget = Buffer;
    rec.m_transfer = t;
    if (!FHandle) {
        t->completed = true;
        if (FReadAsyncExceptionsEnabled)
            raise(CError_ReadFailed, EBADF);
        ++FReadAsyncErrorCount;
        FReadAsyncLastError = EBADF;
        return 0;
    }
    std::shared_ptr<ComDevice> device = FHandle;
    t->device = device;
    char* data = rec.Data.get();
    t->worker = std::thread([t = t.get(), device, data, Count] {
        t->error = device->read(data, Count, t->count);
        t->completed = true;
    });
    return 0;
}

int TCustomComPort::ReadStrAsync(std::string& Str, int Count, PCPortAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort(CError_InvalidAsync);
    if (Count <= 0)
        return 0;
    int r = ReadAsync(nullptr, Count, AsyncPtr);
    if (AsyncPtr->m_transfer) {
        AsyncPtr->m_transfer->bufTarget = nullptr;
        AsyncPtr->m_transfer->strTarget = &Str;
    }
    return r;
}

int TCustomComPort::WaitForAsync(PCPortAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort(CError_InvalidAsync);
    return finishTransfer(*AsyncPtr);
}

int TCustomComPort::finishTransfer(TCPortAsync& rec)
{
    std::shared_ptr<TCPortAsync::Transfer> t = rec.m_transfer;
    if (!t)
        return 0;
    rec.finish();
    if (t->error)
        raise(rec.Kind == okRead ? CError_ReadFailed : CError_WriteFailed, t->error);
    int n = t->count;
    if (rec.Kind == okRead) {
        if (t->strTarget)
            t->strTarget->assign(rec.Data.get(), static_cast<std::size_t>(std::max(n, 0)));
        else if (t->bufTarget && n > 0)
            std::memcpy(t->bufTarget, rec.Data.get(), static_cast<std::size_t>(n));
        t->strTarget = nullptr;
        t->bufTarget = nullptr;
    } else if (!FInputCountNotSupported) {
        forLinks([&](TComLink& l) {
            if (l.OnTxBuf)
                l.OnTxBuf(this, rec.Data.get(), rec.Size);
        });
    }
    return n;
}

bool TCustomComPort::IsAsyncCompleted(PCPortAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort(CError_InvalidAsync);
    return !AsyncPtr->m_transfer || AsyncPtr->m_transfer->completed.load();
}

// ---- Queries and line control ------------------------------------------------------------

int TCustomComPort::InputCount()
{
    if (FInputCountNotSupported)
        return 0;
    std::uint32_t errors = 0;
    TComStat stat;
    int err = FHandle ? FHandle->clearCommError(errors, stat) : EBADF;
    if (err)
        raise(CError_ClearComFailed, err);
    return static_cast<int>(stat.InQueue);
}

int TCustomComPort::OutputCount()
{
    std::uint32_t errors = 0;
    TComStat stat;
    int err = FHandle ? FHandle->clearCommError(errors, stat) : EBADF;
    if (err)
        raise(CError_ClearComFailed, err);
    return static_cast<int>(stat.OutQueue);
}

int TCustomComPort::StateFlags()
{
    std::uint32_t errors = 0;
    TComStat stat;
    int err = FHandle ? FHandle->clearCommError(errors, stat) : EBADF;
    if (err)
        raise(CError_ClearComFailed, err);
    return static_cast<int>(stat.Flags & 0xFF);
}

TComErrors TCustomComPort::LastErrors()
{
    std::uint32_t errors = 0;
    TComStat stat;
    int err = FHandle ? FHandle->clearCommError(errors, stat) : EBADF;
    if (err)
        raise(CError_ClearComFailed, err);
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

namespace {
int escape(const std::shared_ptr<ComDevice>& device, std::uint32_t function)
{
    return device ? device->escapeCommFunction(function) : EBADF;
}
} // namespace

void TCustomComPort::SetDTR(bool OnOff)
{
    if (int err = escape(FHandle, OnOff ? SETDTR : CLRDTR))
        raise(CError_EscapeComFailed, err);
}

void TCustomComPort::SetRTS(bool OnOff)
{
    if (int err = escape(FHandle, OnOff ? SETRTS : CLRRTS))
        raise(CError_EscapeComFailed, err);
}

void TCustomComPort::SetBreak(bool OnOff)
{
    if (int err = escape(FHandle, OnOff ? SETBREAK : CLRBREAK))
        raise(CError_EscapeComFailed, err);
}

void TCustomComPort::SetXonXoff(bool OnOff)
{
    if (int err = escape(FHandle, OnOff ? SETXON : SETXOFF))
        raise(CError_EscapeComFailed, err);
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

// ---- Handling of line events -------------------------------------------------------------

void TCustomComPort::receiveHandling()
{
    if (FInputCountNotSupported)
        return;
    std::shared_ptr<std::atomic<bool>> alive = m_alive;
    int Count = InputCount();
    if (Count > 0) {
        forLinks([this](TComLink& l) {
            if (l.OnRx)
                l.OnRx(this, true);
        });
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
        forLinks([this](TComLink& l) {
            if (l.OnTx)
                l.OnTx(this, false);
        });
        forLinks([this](TComLink& l) {
            if (l.OnTxEmpty)
                l.OnTxEmpty(this);
        });
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
        forLinks([this](TComLink& l) {
            if (l.OnRing)
                l.OnRing(this);
        });
        if (OnRing)
            OnRing(this);
        if (gone())
            return;
    }
    auto signal = [this](TComSignal which, TComLinkFlagEvent TComLink::*slot,
                         TComSignalEvent& own) {
        bool on = Signals().Contains(which);
        forLinks([&](TComLink& l) {
            if (l.*slot)
                (l.*slot)(this, on);
        });
        if (own)
            own(this, on);
    };
    if (Events.Contains(evCTS)) {
        signal(csCTS, &TComLink::OnCTSChange, OnCTSChange);
        if (gone())
            return;
    }
    if (Events.Contains(evDSR)) {
        signal(csDSR, &TComLink::OnDSRChange, OnDSRChange);
        if (gone())
            return;
    }
    if (Events.Contains(evRxFlag)) {
        forLinks([this](TComLink& l) {
            if (l.OnRxFlag)
                l.OnRxFlag(this);
        });
        if (OnRxFlag)
            OnRxFlag(this);
        if (gone())
            return;
    }
    if (Events.Contains(evRLSD)) {
        signal(csRLSD, &TComLink::OnRLSDChange, OnRLSDChange);
        if (gone())
            return;
    }
    if (Events.Contains(evRx80Full) && OnRx80Full)
        OnRx80Full(this);
}

// ---- Event thread ------------------------------------------------------------------------

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
