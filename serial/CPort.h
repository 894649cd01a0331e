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
// Errors are EComPort (codes below), except "Cannot assign a %s to a %s" (EConvertError).

#include "core/Errors.h"
#include "serial/CPortTypes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace memvane {

class TCustomComPort;
class TComThread;
class TComBackend;
class ComDevice;
class ComEvent;
struct TComDCB;

// Component error codes.
enum : int {
    CError_OpenFailed = 1,
    CError_WriteFailed = 2,
    CError_ReadFailed = 3,
    CError_InvalidAsync = 4,
    CError_PurgeFailed = 5,
    CError_AsyncCheck = 6,
    CError_SetStateFailed = 7,
    CError_TimeoutsFailed = 8,
    CError_SetupComFailed = 9,
    CError_ClearComFailed = 10,
    CError_ModemStatFailed = 11,
    CError_EscapeComFailed = 12,
    CError_TransmitFailed = 13,
    CError_ConnChangeProp = 14,
    CError_EnumPortsFailed = 15,
    CError_StoreFailed = 16,
    CError_LoadFailed = 17,
    CError_RegFailed = 18,
    CError_LedStateFailed = 19,
    CError_ThreadCreated = 20,
    CError_WaitFailed = 21,
    CError_HasLink = 22,
    CError_RegError = 23,
};

class EComPort : public AppError
{
public:
    // "COM Port Error: <text>"; WinCode -1.
    explicit EComPort(int ACode);
    // "COM Port Error: <text> on <port>" (code 23: "... on registry read"). `detail` is the
    // system's explanation for the user (why an open failed), kept apart from the fixed message.
    EComPort(int ACode, int AWinCode, const std::string& portName, std::string detail = {});

    int Code() const { return FCode; }
    int WinCode() const { return FWinCode; }
    const std::string& Detail() const { return m_detail; }

    // The text of a code; "Unknown Error #<n>" outside the table.
    static std::string CodeText(int code);

private:
    int FWinCode;
    int FCode;
    std::string m_detail;
};

// Event handler types. An empty slot is skipped.
using TNotifyEvent = std::function<void(TCustomComPort* Sender)>;
using TRxCharEvent = std::function<void(TCustomComPort* Sender, int Count)>;
using TRxBufEvent = std::function<void(TCustomComPort* Sender, const char* Buffer, int Count)>;
using TComErrorEvent = std::function<void(TCustomComPort* Sender, TComErrors Errors)>;
using TComSignalEvent = std::function<void(TCustomComPort* Sender, bool OnOff)>;

// Base of the assignable value objects.
class TComPersistent
{
public:
    virtual ~TComPersistent() = default;
    virtual const char* ClassName() const = 0;
    // Copies every value of Source; a Source of another class raises EConvertError
    // "Cannot assign a <Source class> to a <this class>".
    virtual void Assign(const TComPersistent& Source);

protected:
    [[noreturn]] void AssignError(const TComPersistent& Source) const;
};

class TComParity : public TComPersistent
{
public:
    TComParity() = default;
    TComParity(const TComParity&) = delete;
    TComParity& operator=(const TComParity&) = delete;
    const char* ClassName() const override { return "TComParity"; }
    void Assign(const TComPersistent& Source) override;
    TCustomComPort* ComPort() const { return FComPort; }

    TParityBits Bits() const { return FBits; }
    void SetBits(TParityBits Value);
    bool Check() const { return FCheck; }
    void SetCheck(bool Value);
    bool Replace() const { return FReplace; }
    void SetReplace(bool Value);
    TComChar ReplaceChar() const { return FReplaceChar; }
    void SetReplaceChar(TComChar Value);

private:
    friend class TCustomComPort;
    void changed();
    TCustomComPort* FComPort = nullptr;
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    TComChar FReplaceChar = 0;
};

class TComFlowControl : public TComPersistent
{
public:
    TComFlowControl() = default;
    TComFlowControl(const TComFlowControl&) = delete;
    TComFlowControl& operator=(const TComFlowControl&) = delete;
    const char* ClassName() const override { return "TComFlowControl"; }
    void Assign(const TComPersistent& Source) override;
    TCustomComPort* ComPort() const { return FComPort; }

    bool OutCTSFlow() const { return FOutCTSFlow; }
    void SetOutCTSFlow(bool Value);
    bool OutDSRFlow() const { return FOutDSRFlow; }
    void SetOutDSRFlow(bool Value);
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    void SetControlDTR(TDTRFlowControl Value);
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    void SetControlRTS(TRTSFlowControl Value);
    bool XonXoffOut() const { return FXonXoffOut; }
    void SetXonXoffOut(bool Value);
    bool XonXoffIn() const { return FXonXoffIn; }
    void SetXonXoffIn(bool Value);
    bool DSRSensitivity() const { return FDSRSensitivity; }
    void SetDSRSensitivity(bool Value);
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    void SetTxContinueOnXoff(bool Value);
    TComChar XonChar() const { return FXonChar; }
    void SetXonChar(TComChar Value);
    TComChar XoffChar() const { return FXoffChar; }
    void SetXoffChar(TComChar Value);

    // The summary of RTS, CTS and XON/XOFF values; setting it rewrites those values (fcCustom
    // changes none) and re-applies the line settings in every case.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl Value);

private:
    friend class TCustomComPort;
    void changed();
    TCustomComPort* FComPort = nullptr;
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    TComChar FXonChar = 17;
    TComChar FXoffChar = 19;
};

class TComTimeouts : public TComPersistent
{
public:
    TComTimeouts() = default;
    TComTimeouts(const TComTimeouts&) = delete;
    TComTimeouts& operator=(const TComTimeouts&) = delete;
    const char* ClassName() const override { return "TComTimeouts"; }
    void Assign(const TComPersistent& Source) override;
    TCustomComPort* ComPort() const { return FComPort; }

    int ReadInterval() const { return FReadInterval; }
    void SetReadInterval(int Value);
    int ReadTotalMultiplier() const { return FReadTotalM; }
    void SetReadTotalMultiplier(int Value);
    int ReadTotalConstant() const { return FReadTotalC; }
    void SetReadTotalConstant(int Value);
    int WriteTotalMultiplier() const { return FWriteTotalM; }
    void SetWriteTotalMultiplier(int Value);
    int WriteTotalConstant() const { return FWriteTotalC; }
    void SetWriteTotalConstant(int Value);

private:
    friend class TCustomComPort;
    void changed();
    TCustomComPort* FComPort = nullptr;
    int FReadInterval = -1;
    int FReadTotalM = 0;
    int FReadTotalC = 0;
    int FWriteTotalM = 100;
    int FWriteTotalC = 1000;
};

class TComBuffer : public TComPersistent
{
public:
    TComBuffer() = default;
    TComBuffer(const TComBuffer&) = delete;
    TComBuffer& operator=(const TComBuffer&) = delete;
    const char* ClassName() const override { return "TComBuffer"; }
    void Assign(const TComPersistent& Source) override;
    TCustomComPort* ComPort() const { return FComPort; }

    // An odd positive size is stored less one (4097 becomes 4096).
    int InputSize() const { return FInputSize; }
    void SetInputSize(int Value);
    int OutputSize() const { return FOutputSize; }
    void SetOutputSize(int Value);

private:
    friend class TCustomComPort;
    void changed();
    TCustomComPort* FComPort = nullptr;
    int FInputSize = 1024;
    int FOutputSize = 1024;
};

// The line-settings block the port hands to its device, from the values that make it up.
TComDCB BuildDCB(TBaudRate BaudRate, int CustomBaudRate, TStopBits StopBits, TDataBits DataBits,
                 const TComParity& Parity, const TComFlowControl& FlowControl,
                 const TComBuffer& Buffer, bool DiscardNull, TComChar EventChar);

// A listener another control registers with the port. Sender is the port.
using TComLinkFlagEvent = std::function<void(TCustomComPort* Sender, bool OnOff)>;
using TComLinkBufEvent = std::function<void(TCustomComPort* Sender, const char* Buffer, int Count)>;

class TComLink
{
public:
    TComLinkFlagEvent OnConn;
    TComLinkBufEvent OnRxBuf;
    TComLinkBufEvent OnTxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnRxFlag;
    TComLinkFlagEvent OnCTSChange;
    TComLinkFlagEvent OnDSRChange;
    TComLinkFlagEvent OnRLSDChange;
    TNotifyEvent OnRing;
    TComLinkFlagEvent OnTx;
    TComLinkFlagEvent OnRx;
};

// One transfer record: the port keeps one for its reads and one for its writes; callers of the
// asynchronous calls own theirs. A started transfer runs on a helper thread until it ends as the
// timeouts say or is aborted (AbortAllAsync, Close); destroying a record waits for it.
class TCPortAsync
{
public:
    TCPortAsync();
    ~TCPortAsync();
    TCPortAsync(const TCPortAsync&) = delete;
    TCPortAsync& operator=(const TCPortAsync&) = delete;

    TOperationKind Kind = okWrite;
    std::unique_ptr<char[]> Data; // the read buffer, or a copy of the bytes written
    int Size = 0;

private:
    friend class TCustomComPort;
    struct Transfer;
    std::shared_ptr<Transfer> m_transfer; // the last transfer started through this record
    void finish();                        // waits for the running transfer, if any
};
using PCPortAsync = TCPortAsync*;

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
    struct WindowToken;

    bool canApply() const;
    void closeDevice();
    void closeLostDevice();
    void letGo(); // stops and closes everything without notifications or errors
    void stopEventThread();
    void receiveHandling();
    // Raises `code` for a failed device operation; a device that hung up is closed first.
    [[noreturn]] void raise(int code, int err);
    int startRead(TCPortAsync& rec, int Count);
    int startWrite(TCPortAsync& rec, const void* Buffer, int Count, bool async);
    int finishTransfer(TCPortAsync& rec);
    void storeIni(const std::string& path);
    void loadIni(const std::string& path);
    template <typename F> void forLinks(F&& f);

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

// The event thread of an open port: waits for line events and dispatches them by SyncMethod.
// Made by Open, stopped by Close. It ends by itself when the wait fails (the device hung up) or
// a handler raised an error; then no more events arrive until the port is reopened. When the
// device hung up it also posts the port's close to the main thread (it cannot close the port
// itself: Close waits for it, and port state belongs to the main thread).
class TComThread
{
public:
    explicit TComThread(TCustomComPort* AComPort); // starts the thread
    ~TComThread();                                 // stops it and waits
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // Signals the stop event, then waits for the thread to end, servicing the main thread's
    // queue meanwhile when called from the main thread.
    void Stop();
    bool Finished() const;
    // How many times the wait for line events has returned (hang-up and spin checks).
    int WaitCount() const;
    // Events reported by the last wait.
    TComEvents Events() const;

private:
    friend class TCustomComPort;
    struct State;
    static void execute(std::shared_ptr<State> st);
    static bool dispatch(State& st, TComEvents events);
    static void deviceLost(const std::weak_ptr<State>& weak); // main thread
    // Close called from inside one of this thread's handlings: it cannot wait for the thread,
    // so the thread is told to stop and left to end by itself (it keeps the device open until
    // then).
    bool calledFromHandling() const;
    void abandon();

    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

} // namespace memvane
