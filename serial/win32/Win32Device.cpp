#include "serial/win32/Win32Device.h"

#include "serial/win32/Win32Errors.h"

#include <cstring>

namespace memvane::win32 {

static_assert(sizeof(DCB) == sizeof(TComDCB), "the line-settings block is the system's DCB");
static_assert(sizeof(COMMTIMEOUTS) == sizeof(TComTimeoutValues));

namespace {

// An overlapped block with an event of its own, for one call.
struct Operation
{
    OVERLAPPED ov{};
    Operation() { ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Operation()
    {
        if (ov.hEvent)
            CloseHandle(ov.hEvent);
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
};

bool immediateReturn(const COMMTIMEOUTS& t)
{
    return t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
           t.ReadTotalTimeoutConstant == 0;
}

} // namespace

Win32Device::Win32Device(HANDLE h, std::string port, bool overlapped)
    : m_h(h), m_port(std::move(port)), m_overlapped(overlapped)
{
}

int Win32Device::fail(DWORD error)
{
    if (IsDeviceGone(error) && m_h.load() != INVALID_HANDLE_VALUE)
        m_goneError.store(error);
    return static_cast<int>(error ? error : ERROR_GEN_FAILURE);
}

int Win32Device::check(BOOL ok)
{
    return ok ? 0 : fail(GetLastError());
}

int Win32Device::setupComm(std::uint32_t inQueue, std::uint32_t outQueue)
{
    return check(SetupComm(m_h, inQueue, outQueue));
}

int Win32Device::setCommState(const TComDCB& dcb)
{
    DCB block;
    std::memcpy(&block, &dcb, sizeof block);
    return check(SetCommState(m_h, &block));
}

int Win32Device::setCommTimeouts(const TComTimeoutValues& timeouts)
{
    COMMTIMEOUTS t{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                   timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                   timeouts.WriteTotalTimeoutConstant};
    int err = check(SetCommTimeouts(m_h, &t));
    if (err == 0) {
        std::lock_guard lock(m_mutex);
        m_timeouts = t;
    }
    return err;
}

int Win32Device::setCommMask(std::uint32_t mask)
{
    int err = check(SetCommMask(m_h, mask));
    if (err == 0)
        m_mask.store(mask);
    return err;
}

ComWaitResult Win32Device::waitCommEvent(ComEvent* stop, int timeoutMs, std::uint32_t& mask,
                                         int& error)
{
    mask = 0;
    error = 0;
    HANDLE stopHandle = nullptr;
    if (auto* event = dynamic_cast<Win32Event*>(stop))
        stopHandle = event->handle();
    if (stop && stop->isSet())
        return ComWaitResult::Stopped;
    const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    // Nothing to wait for but the stop event (an empty mask makes WaitCommEvent fail).
    if (m_mask.load() == 0) {
        DWORD r = stopHandle ? WaitForSingleObject(stopHandle, limit) : (Sleep(limit), WAIT_TIMEOUT);
        return r == WAIT_OBJECT_0 ? ComWaitResult::Stopped : ComWaitResult::TimedOut;
    }
    Operation op;
    DWORD occurred = 0;
    if (!m_overlapped) {
        // Without overlapped I/O the wait cannot be joined with the stop event.
        if (!WaitCommEvent(m_h, &occurred, nullptr)) {
            error = fail(GetLastError());
            return ComWaitResult::Failed;
        }
        mask = occurred;
        return ComWaitResult::Events;
    }
    if (!WaitCommEvent(m_h, &occurred, &op.ov)) {
        DWORD e = GetLastError();
        if (e != ERROR_IO_PENDING) {
            if (e == ERROR_OPERATION_ABORTED)
                return ComWaitResult::Events; // cancelled by a new mask or a purge: no events
            error = fail(e);
            return ComWaitResult::Failed;
        }
        HANDLE handles[2] = {op.ov.hEvent, stopHandle};
        DWORD r = WaitForMultipleObjects(stopHandle ? 2 : 1, handles, FALSE, limit);
        if (r != WAIT_OBJECT_0) {
            // Stop or time limit: the same mask again ends the pending wait, whose block must
            // be finished with before it goes out of scope.
            SetCommMask(m_h, m_mask.load());
            DWORD ignored = 0;
            GetOverlappedResult(m_h, &op.ov, &ignored, TRUE);
            if (r == WAIT_OBJECT_0 + 1)
                return ComWaitResult::Stopped;
            if (r == WAIT_TIMEOUT)
                return ComWaitResult::TimedOut;
            error = fail(GetLastError());
            return ComWaitResult::Failed;
        }
        DWORD ignored = 0;
        if (!GetOverlappedResult(m_h, &op.ov, &ignored, FALSE)) {
            DWORD e2 = GetLastError();
            if (e2 == ERROR_OPERATION_ABORTED)
                return ComWaitResult::Events;
            error = fail(e2);
            return ComWaitResult::Failed;
        }
    }
    mask = occurred;
    return ComWaitResult::Events;
}

int Win32Device::transfer(bool reading, void* buffer, DWORD size, int& count)
{
    count = 0;
    Operation op;
    OVERLAPPED* ov = m_overlapped ? &op.ov : nullptr;
    DWORD done = 0;
    BOOL ok = reading ? ReadFile(m_h, buffer, size, &done, ov)
                      : WriteFile(m_h, buffer, size, &done, ov);
    DWORD e = ok ? 0 : GetLastError();
    if (!ok && e == ERROR_IO_PENDING) {
        ok = GetOverlappedResult(m_h, &op.ov, &done, TRUE);
        e = ok ? 0 : GetLastError();
    }
    count = static_cast<int>(done);
    // Some drivers end a transfer whose total timeout expired with ERROR_TIMEOUT instead of
    // success with fewer bytes; it is the same outcome.
    if (!ok && e != ERROR_TIMEOUT)
        return fail(e);
    return 0;
}

int Win32Device::read(void* buffer, int size, int& count)
{
    count = 0;
    if (size <= 0)
        return 0;
    DWORD want = static_cast<DWORD>(size);
    bool immediate;
    {
        std::lock_guard lock(m_mutex);
        immediate = immediateReturn(m_timeouts);
    }
    if (immediate) {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(m_h, &errors, &stat))
            return fail(GetLastError());
        if (stat.cbInQue == 0)
            return 0;
        if (stat.cbInQue < want)
            want = stat.cbInQue;
    }
    return transfer(true, buffer, want, count);
}

int Win32Device::write(const void* buffer, int size, int& count)
{
    count = 0;
    if (size <= 0)
        return 0;
    return transfer(false, const_cast<void*>(buffer), static_cast<DWORD>(size), count);
}

int Win32Device::purge(std::uint32_t flags)
{
    return check(PurgeComm(m_h, flags));
}

int Win32Device::clearCommError(std::uint32_t& errors, TComStat& stat)
{
    DWORD e = 0;
    COMSTAT s{};
    if (!ClearCommError(m_h, &e, &s))
        return fail(GetLastError());
    errors = e;
    // The hold and state bits are the block's first word.
    std::uint32_t flags = 0;
    std::memcpy(&flags, &s, sizeof flags);
    stat.Flags = flags;
    stat.InQueue = s.cbInQue;
    stat.OutQueue = s.cbOutQue;
    return 0;
}

int Win32Device::getModemStatus(std::uint32_t& status)
{
    DWORD s = 0;
    int err = check(GetCommModemStatus(m_h, &s));
    status = err == 0 ? s : 0;
    return err;
}

int Win32Device::escapeCommFunction(std::uint32_t function)
{
    return check(EscapeCommFunction(m_h, function));
}

int Win32Device::transmitCommChar(std::uint8_t ch)
{
    return check(TransmitCommChar(m_h, static_cast<char>(ch)));
}

int Win32Device::close()
{
    HANDLE h = m_h.exchange(INVALID_HANDLE_VALUE);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    m_goneError.store(0);
    return CloseHandle(h) ? 0 : static_cast<int>(GetLastError());
}

std::intptr_t Win32Device::nativeHandle() const
{
    HANDLE h = m_h.load();
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(h);
}

std::string Win32Device::lostReason()
{
    DWORD e = m_goneError.load();
    if (e == 0 || m_h.load() == INVALID_HANDLE_VALUE)
        return {};
    return LostDeviceDetail(m_port, e);
}

} // namespace memvane::win32
