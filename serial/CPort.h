#pragma once
// TComPort: one serial port of the system, its settings and its line events.
//
// How it works. The port opens a device through a backend (serial/ComBackend.h; POSIX by
// default), applies three groups of settings to it (queue sizes, the line-settings block,
// timeouts), and while open runs one event thread (TComThread) that waits for line events and
// has them handled according to SyncMethod. The value objects (Parity, FlowControl, Timeouts,
// Buffer) tell their port to re-apply their group after every change; update blocks
// (BeginUpdate/EndUpdate) and the owner's loading state (BeginLoading/Loaded) hold the applies
// back until the end.
//
// Threads. Every call is made by the main thread and the component takes no locks. The event
// thread touches only the device and its own state; under smThreadSync (the default) it hands
// each handling to the main thread through serial/MainThreadQueue.h and waits, so OnRxChar and
// friends run on the main thread, only where it services its events (idle loop,
// QCoreApplication::processEvents, a modal dialog, or the wait inside Close). Close waits for
// the event thread while running queued handlings, so the two cannot deadlock.
//
// Timeouts. Under the default Timeouts a read returns at once with what is queued; a write ends
// when everything is written or WriteTotalConstant + WriteTotalMultiplier x length ms have
// passed.
//
// A device that hangs up (unplugged, switched off, reset) is closed by the port itself: the
// event thread notices first and has the main thread close the port; an operation that fails
// on it before that closes the port at once and raises its error with the reason as Detail.
// Either way Connected is False afterwards, so the next Open finds the device again by its name.
//
// Errors are EComPort (codes in serial/ComPortError.h), except "Cannot assign a %s to a %s"
// (EConvertError).
//
// This header is the one callers include; it brings in the parts of the component:
//   serial/ComPortError.h      EComPort and its codes
//   serial/ComPortValues.h     the value objects (parity, flow control, timeouts, queue sizes)
//   serial/LineSettingsBlock.h BuildDCB, the line-settings block from those values
//   serial/ComLink.h           the event handler types and TComLink
//   serial/ComPortAsync.h      TCPortAsync, the transfer record
//   serial/ComThread.h         TComThread, the event thread
// The port itself is implemented in CPort.cpp (opening, closing, settings), ComPortTransfers.cpp,
// ComPortLine.cpp (queries, line control, links) and ComPortDispatch.cpp (handling line events).

#include "serial/CPortTypes.h"
#include "serial/ComLink.h"
#include "serial/ComPortAsync.h"
#include "serial/ComPortError.h"
#include "serial/ComPortValues.h"
#include "serial/ComThread.h"
#include "serial/LineSettingsBlock.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace memvane {

class TComBackend;
class ComDevice;
class ComEvent;
struct TComStat;

class TCustomComPort
{
public:
    explicit TCustomComPort(std::string name = "ComPort1",
                            std::shared_ptr<TComBackend> backend = nullptr);
    virtual ~TCustomComPort(); // runs Close
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    const std::string& Name() const { return FName; }

    // The owner's loading state ("form data"): between BeginLoading and Loaded assignments only
    // store their values. Loaded opens the port when Connected was stored True; an open error
    // goes to HandleApplicationException and the port stays closed.
    void BeginLoading();
    void Loaded();
    bool Loading() const { return FLoading; }

    void Open();
    void Close();
    bool Connected() const { return FConnected; }
    void SetConnected(bool Value);

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Applying settings to an open port (each does nothing while closed, inside an update
    // block, or while loading).
    void ApplyBuffer();
    void ApplyDCB();
    void ApplyTimeouts();
    void ApplySettings(); // all three, in that order

    void ClearBuffer(bool Input, bool Output);
    int WriteStr(const std::string& Str);
    int ReadStr(std::string& Str, int Count);
    int Write(const void* Buffer, int Count);
    int Read(void* Buffer, int Count);

    // Asynchronous transfers: start, then WaitForAsync for the count. ReadStrAsync's Str and
    // ReadAsync's Buffer receive the bytes when WaitForAsync returns.
    int WriteAsync(const void* Buffer, int Count, PCPortAsync AsyncPtr);
    int WriteStrAsync(const std::string& Str, PCPortAsync AsyncPtr);
    int ReadAsync(void* Buffer, int Count, PCPortAsync AsyncPtr);
    int ReadStrAsync(std::string& Str, int Count, PCPortAsync AsyncPtr);
    int WaitForAsync(PCPortAsync AsyncPtr);
    bool IsAsyncCompleted(PCPortAsync AsyncPtr);
    void AbortAllAsync();

    // Waits without the event thread for one of `Events`, `StopEvent` (may be null) or
    // `Timeout` ms (-1: no limit); returns the events of `Events` that occurred.
    TComEvents WaitForEvent(TComEvents Events, ComEvent* StopEvent, int Timeout);
    // A manual-reset event of this port's backend, for WaitForEvent.
    std::shared_ptr<ComEvent> CreateEvent();

    int InputCount();
    int OutputCount();
    TComSignals Signals();
    int StateFlags();
    TComErrors LastErrors();
    void SetDTR(bool OnOff);
    void SetRTS(bool OnOff);
    void SetBreak(bool OnOff);
    void SetXonXoff(bool OnOff);
    void TransmitChar(char Ch);

    void RegisterLink(TComLink* AComLink);
    void UnRegisterLink(TComLink* AComLink);

    // "ComPort.ini" (stIniFile). There is no registry here: stRegistry raises code 16 / 17.
    void StoreSettings(TStoreType StoreType, const std::string& StoreTo);
    void LoadSettings(TStoreType StoreType, const std::string& LoadFrom);

    // Runs the setup dialog on this port (serial/ShowSetupDialog.cpp).
    void ShowSetupDialog();
    // `onDestroy` runs when the port is destroyed, so a control bound to it can forget it.
    // `key` names the listener: a second call replaces it, RemoveFreeNotification drops it.
    void FreeNotification(const void* key, std::function<void()> onDestroy);
    void RemoveFreeNotification(const void* key);

    // Properties.
    std::string Port() const { return FPort; }
    void SetPort(const std::string& Value);
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    int CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int Value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool Value);
    TComChar EventChar() const { return FEventChar; }
    void SetEventChar(TComChar Value);
    TComEvents Events() const { return FEvents; }
    void SetEvents(TComEvents Value) { FEvents = Value; }
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod Value);
    TThreadPriority EventThreadPriority() const { return FEventThreadPriority; }
    void SetEventThreadPriority(TThreadPriority Value);
    bool TriggersOnRxChar() const { return FTriggersOnRxChar && !FHasLink; }
    void SetTriggersOnRxChar(bool Value);
    TStoredProps StoredProps() const { return FStoredProps; }
    void SetStoredProps(TStoredProps Value) { FStoredProps = Value; }
    bool Overlapped() const { return FOverlapped; }
    void SetOverlapped(bool Value);
    bool InputCountNotSupported() const { return FInputCountNotSupported; }
    void SetInputCountNotSupported(bool Value) { FInputCountNotSupported = Value; }
    bool ReadAsyncExceptionsEnabled() const { return FReadAsyncExceptionsEnabled; }
    void SetReadAsyncExceptionsEnabled(bool Value) { FReadAsyncExceptionsEnabled = Value; }
    int ReadAsyncErrorCount() const { return FReadAsyncErrorCount; }
    void SetReadAsyncErrorCount(int Value) { FReadAsyncErrorCount = Value; }
    int ReadAsyncLastError() const { return FReadAsyncLastError; }
    void SetReadAsyncLastError(int Value) { FReadAsyncLastError = Value; }
    int SyncWriteErrors() const { return FSyncWriteErrors; }
    std::intptr_t Handle() const; // -1 while closed

    TComParity& Parity() { return *FParity; }
    const TComParity& Parity() const { return *FParity; }
    void SetParity(const TComParity& Value) { FParity->Assign(Value); }
    TComFlowControl& FlowControl() { return *FFlowControl; }
    const TComFlowControl& FlowControl() const { return *FFlowControl; }
    void SetFlowControl(const TComFlowControl& Value) { FFlowControl->Assign(Value); }
    TComTimeouts& Timeouts() { return *FTimeouts; }
    const TComTimeouts& Timeouts() const { return *FTimeouts; }
    void SetTimeouts(const TComTimeouts& Value) { FTimeouts->Assign(Value); }
    TComBuffer& Buffer() { return *FBuffer; }
    const TComBuffer& Buffer() const { return *FBuffer; }
    void SetBuffer(const TComBuffer& Value) { FBuffer->Assign(Value); }

    // The running event thread, or null (for diagnostics and tests).
    TComThread* EventThread() const { return FEventThread.get(); }
    TComBackend& Backend() const { return *m_backend; }

    // Events.
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRxFlag;
    TComErrorEvent OnError;
    TNotifyEvent OnRx80Full;

    // The handling of one dispatch of line events, in the fixed order (error, receive, transmit
    // empty, break, ring, CTS, DSR, flag, RLSD, 80% full). Run by the event thread's dispatch.
    void HandleEvents(TComEvents Events);

private:
    friend class TComThread;
    // Stands in for the hidden window of smWindowSync: handlings posted to the main thread
    // reach the port through it, and are dropped once the port closed or went away.
    struct WindowToken
    {
        TCustomComPort* port; // null once the port closed or went away (main thread only)
    };

    bool canApply() const;
    TComStat commStatus(std::uint32_t& errors); // raises code 10 when the device cannot say
    void escapeLine(std::uint32_t function); // raises code 12 when the device refuses
    void closeDevice();
    void closeLostDevice();
    void letGo(); // stops and closes everything without notifications or errors
    void stopEventThread();
    void receiveHandling();
    // Raises `code` for a failed device operation; a device that hung up is closed first.
    [[noreturn]] void raise(int code, int err);
    int readOwn(int Count);
    int startRead(TCPortAsync& rec, int Count);
    int startWrite(TCPortAsync& rec, const void* Buffer, int Count, bool async);
    int finishTransfer(TCPortAsync& rec);
    void storeIni(const std::string& path);
    void loadIni(const std::string& path);
    // Calls f for every registered link in order of registration. A handler may (un)register
    // links, so this walks a copy of the list.
    template <typename F> void forLinks(F&& f)
    {
        std::vector<TComLink*> links = FLinks;
        for (TComLink* link : links)
            f(*link);
    }
    // Calls every link's handler in `slot` (those that have one) with this port and `args`.
    template <typename Slot, typename... Args>
    void notifyLinks(Slot TComLink::*slot, const Args&... args)
    {
        forLinks([&](TComLink& link) {
            if (link.*slot)
                (link.*slot)(this, args...);
        });
    }
    // Tells the links what `rec` wrote (ComPortTransfers.cpp).
    void notifyTxBuf(const TCPortAsync& rec);
    // Tells the links, then the port's own handler, whether `which` is on now.
    void notifySignal(TComSignal which, TComLinkFlagEvent TComLink::*slot, TComSignalEvent& own);

    std::string FName;
    std::shared_ptr<TComBackend> m_backend;
    // False once the destructor runs: a handler may destroy its own port, and the handling must
    // not touch the port after that.
    std::shared_ptr<std::atomic<bool>> m_alive = std::make_shared<std::atomic<bool>>(true);
    bool FLoading = false;
    bool FOpening = false;
    bool FClosing = false;

    bool FInputCountNotSupported = false;
    std::unique_ptr<TComThread> FEventThread;
    bool FThreadCreated = false;
    std::shared_ptr<ComDevice> FHandle;
    std::shared_ptr<WindowToken> FWindow; // stands in for the hidden window of smWindowSync
    int FUpdateCount = 0;
    std::vector<TComLink*> FLinks;
    bool FTriggersOnRxChar = true;
    TThreadPriority FEventThreadPriority = tpNormal;
    bool FHasLink = false;
    bool FConnected = false;
    TBaudRate FBaudRate = br9600;
    int FCustomBaudRate = 9600;
    std::string FPort = "COM1";
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    TComChar FEventChar = 0;
    TComEvents FEvents = TComEvents::All();
    std::unique_ptr<TComBuffer> FBuffer;
    std::unique_ptr<TComParity> FParity;
    std::unique_ptr<TComTimeouts> FTimeouts;
    std::unique_ptr<TComFlowControl> FFlowControl;
    TSyncMethod FSyncMethod = smThreadSync;
    TStoredProps FStoredProps = {spBasic};
    bool FReadAsyncExceptionsEnabled = false;
    int FReadAsyncErrorCount = 0;
    int FReadAsyncLastError = 0;
    int FSyncWriteErrors = 0;
    bool FOverlapped = true;
    std::unique_ptr<TCPortAsync> FReadAsyncPtr;
    std::unique_ptr<TCPortAsync> FWriteAsyncPtr;
    std::vector<std::pair<const void*, std::function<void()>>> m_freeNotify;
};

// The port as the main window owns it.
class TComPort : public TCustomComPort
{
public:
    using TCustomComPort::TCustomComPort;
};

} // namespace memvane
