#pragma once
// An open communications device (see Win32Backend.h for how it behaves).
//
// Threads: the main thread and the event thread call in at once (serial/ComBackend.h); every
// transfer and wait brings its own overlapped block and event, so they never share one. The
// handle stays valid until close(), which the port calls only after its event thread ended.

#include "serial/ComBackend.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

namespace memvane::win32 {

class Win32Event : public ComEvent
{
public:
    Win32Event() : m_h(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Win32Event() override
    {
        if (m_h)
            CloseHandle(m_h);
    }
    Win32Event(const Win32Event&) = delete;
    Win32Event& operator=(const Win32Event&) = delete;
    void set() override { SetEvent(m_h); }
    void reset() override { ResetEvent(m_h); }
    bool isSet() const override { return WaitForSingleObject(m_h, 0) == WAIT_OBJECT_0; }
    HANDLE handle() const { return m_h; }

private:
    HANDLE m_h;
};

class Win32Device : public ComDevice
{
public:
    Win32Device(HANDLE h, std::string port, bool overlapped);
    ~Win32Device() override { close(); }

    int setupComm(std::uint32_t inQueue, std::uint32_t outQueue) override;
    int setCommState(const TComDCB& dcb) override;
    int setCommTimeouts(const TComTimeoutValues& timeouts) override;
    int setCommMask(std::uint32_t mask) override;
    ComWaitResult waitCommEvent(ComEvent* stop, int timeoutMs, std::uint32_t& mask,
                                int& error) override;
    int read(void* buffer, int size, int& count) override;
    int write(const void* buffer, int size, int& count) override;
    int purge(std::uint32_t flags) override;
    int clearCommError(std::uint32_t& errors, TComStat& stat) override;
    int getModemStatus(std::uint32_t& status) override;
    int escapeCommFunction(std::uint32_t function) override;
    int transmitCommChar(std::uint8_t ch) override;
    int close() override;
    std::intptr_t nativeHandle() const override;
    std::string lostReason() override;

private:
    // The result of a system call: 0, or its error, which is remembered when it means the
    // device has gone.
    int check(BOOL ok);
    int fail(DWORD error);
    // Starts a transfer and waits for it; ERROR_TIMEOUT counts as done.
    int transfer(bool reading, void* buffer, DWORD size, int& count);

    std::atomic<HANDLE> m_h;
    const std::string m_port;
    const bool m_overlapped;
    std::mutex m_mutex; // guards the two below
    COMMTIMEOUTS m_timeouts{MAXDWORD, 0, 0, 0, 0};
    std::atomic<std::uint32_t> m_mask{0};
    std::atomic<DWORD> m_goneError{0};
};

} // namespace memvane::win32
