#pragma once
// The one seam between the serial component and the operating system. The component (CPort)
// holds all behaviour; a backend only opens devices and carries out the device operations below,
// each named after what it does to the line. serial/posix/ implements it with termios; tests use
// a recording fake (tests/support/FakeComBackend.h) to check exactly what reaches the device.
//
// Threads: the main thread calls everything; while the port is open the event thread calls
// setCommMask, waitCommEvent, clearCommError, getModemStatus, read, purge and lostReason beside
// it, so a device must allow those calls to run concurrently with the main thread's.
//
// Errors: every operation returns 0 on success or the system's error number (errno on POSIX).

#include <cstdint>
#include <memory>
#include <string>

namespace memvane {

// The line-settings block, field for field as the component defines it.
struct TComDCB
{
    std::uint32_t DCBlength = 28;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    std::uint8_t XonChar = 0;
    std::uint8_t XoffChar = 0;
    std::uint8_t ErrorChar = 0;
    std::uint8_t EofChar = 0;
    std::uint8_t EvtChar = 0;
    std::uint16_t wReserved1 = 0;

    bool operator==(const TComDCB&) const = default;
};

// Flag bits of TComDCB::Flags.
constexpr std::uint32_t DCB_fBinary = 0x0001;
constexpr std::uint32_t DCB_fParity = 0x0002;
constexpr std::uint32_t DCB_fOutxCtsFlow = 0x0004;
constexpr std::uint32_t DCB_fOutxDsrFlow = 0x0008;
constexpr std::uint32_t DCB_fDtrControlMask = 0x0030;
constexpr std::uint32_t DCB_fDsrSensitivity = 0x0040;
constexpr std::uint32_t DCB_fTXContinueOnXoff = 0x0080;
constexpr std::uint32_t DCB_fOutX = 0x0100;
constexpr std::uint32_t DCB_fInX = 0x0200;
constexpr std::uint32_t DCB_fErrorChar = 0x0400;
constexpr std::uint32_t DCB_fNull = 0x0800;
constexpr std::uint32_t DCB_fRtsControlMask = 0x3000;
constexpr std::uint32_t DCB_fAbortOnError = 0x4000;

// Timeouts in milliseconds, each the 32-bit pattern of the component's signed value
// (0xFFFFFFFF for -1), in the order the device takes them.
struct TComTimeoutValues
{
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const TComTimeoutValues&) const = default;
};

// Queue state reported by clearCommError.
struct TComStat
{
    std::uint32_t Flags = 0; // hold and state flags; the component uses the low byte
    std::uint32_t InQueue = 0;
    std::uint32_t OutQueue = 0;
};

// A manual-reset event that any thread may set; a device wait can include it.
class ComEvent
{
public:
    virtual ~ComEvent() = default;
    virtual void set() = 0;
    virtual void reset() = 0;
    virtual bool isSet() const = 0;
};

enum class ComWaitResult {
    Events,  // mask holds what occurred
    Stopped, // the stop event is set
    TimedOut,
    Failed // error holds the reason; a hang-up of the line ends up here
};

class ComDevice
{
public:
    virtual ~ComDevice() = default; // closes the device if close() was not called

    virtual int setupComm(std::uint32_t inQueue, std::uint32_t outQueue) = 0;
    virtual int setCommState(const TComDCB& dcb) = 0;
    virtual int setCommTimeouts(const TComTimeoutValues& timeouts) = 0;
    virtual int setCommMask(std::uint32_t mask) = 0;
    // Waits until one of the masked events occurs, `stop` (may be null) is set, or timeoutMs
    // passes (-1: no limit). Each event is reported once: bytes left in the receive queue do
    // not report EV_RXCHAR again until new bytes arrive.
    virtual ComWaitResult waitCommEvent(ComEvent* stop, int timeoutMs, std::uint32_t& mask,
                                        int& error) = 0;
    // Transfers end as the timeouts say; `count` is what was transferred, also on error.
    virtual int read(void* buffer, int size, int& count) = 0;
    virtual int write(const void* buffer, int size, int& count) = 0;
    // PURGE_* flags: clear the queues, and/or end transfers in progress (those then fail).
    virtual int purge(std::uint32_t flags) = 0;
    // Reports and clears the CE_* line errors, and reports the queue counts.
    virtual int clearCommError(std::uint32_t& errors, TComStat& stat) = 0;
    virtual int getModemStatus(std::uint32_t& status) = 0;
    virtual int escapeCommFunction(std::uint32_t function) = 0;
    virtual int transmitCommChar(std::uint8_t ch) = 0;
    virtual int close() = 0;
    // The system handle (a file descriptor on POSIX), -1 when closed.
    virtual std::intptr_t nativeHandle() const = 0;
    // Why the device is gone for good, as a sentence for the user ("lost /dev/ttyUSB0: the
    // device hung up ..."); empty while it works or once closed. A device that hung up (USB
    // adapter pulled, radio switched off or reset, pty master closed) only fails from then on;
    // whatever comes back under its name is a new device that must be opened anew.
    virtual std::string lostReason() = 0;
};

// Why an open failed: the system error and a sentence for the user ("cannot open /dev/ttyUSB0:
// Permission denied ...").
struct ComOpenError
{
    int error = 0;
    std::string detail;
};

class TComBackend
{
public:
    virtual ~TComBackend() = default;
    // Opens the named port for exclusive use; null with `error` filled on failure.
    virtual std::shared_ptr<ComDevice> open(const std::string& port, bool overlapped,
                                            ComOpenError& error) = 0;
    virtual std::shared_ptr<ComEvent> createEvent() = 0;
    // Applies a TThreadPriority ordinal to the calling thread; failures are ignored.
    virtual void setThreadPriority(int priority) = 0;
};

// The platform's backend (POSIX termios here).
std::shared_ptr<TComBackend> DefaultComBackend();

} // namespace memvane
