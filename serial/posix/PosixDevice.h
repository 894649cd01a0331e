#pragma once
// An open terminal device (see PosixBackend.h for how it behaves). Its operations live in
// three files: PosixDevice.cpp (life time, line settings, modem lines, queues and errors),
// PosixTransfers.cpp (read and write under the timeouts) and PosixLineEvents.cpp (the wait
// for line events).
//
// Threads: every operation holds a Use, so close() waits until the running ones have left the
// descriptor; the closing event ends their waits first. m_mutex guards the members below it;
// the atomics are read by the line-event wait while other calls set them.

#include "serial/ComBackend.h"
#include "serial/posix/PosixEvent.h"
#include "serial/posix/ReceiveBaseline.h"
#include "serial/posix/TermiosMapping.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <linux/serial.h>
#include <memory>
#include <mutex>
#include <string>

namespace memvane::posix {

constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;

class PosixDevice : public ComDevice
{
public:
    PosixDevice(int fd, std::string path);
    ~PosixDevice() override { close(); }

    bool ok() const { return m_ok; }

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
    enum : std::uint32_t { kPort, kClosing, kTxWake, kStop };

    // Keeps the descriptor open while an operation uses it.
    class Use
    {
    public:
        explicit Use(PosixDevice& d) : m_d(d)
        {
            std::lock_guard lock(d.m_mutex);
            m_ok = !d.m_closed;
            if (m_ok)
                ++d.m_users;
        }
        ~Use()
        {
            if (!m_ok)
                return;
            std::lock_guard lock(m_d.m_mutex);
            if (--m_d.m_users == 0)
                m_d.m_idle.notify_all();
        }
        explicit operator bool() const { return m_ok; }

    private:
        PosixDevice& m_d;
        bool m_ok;
    };

    // The timeouts and the abort token (m_readAbort or m_writeAbort) a transfer starts with,
    // taken together under the lock.
    struct TransferSettings
    {
        TComTimeoutValues timeouts;
        std::shared_ptr<PosixEvent> abort;
    };
    TransferSettings transferSettings(const std::shared_ptr<PosixEvent>& token) const;
    // Waits for the descriptor to become ready; 0 when it is (or the time is up), ECANCELED
    // when the transfer was aborted, EBADF when the device is closing.
    int waitReady(short what, PosixEvent& abort, int timeoutMs);
    int setLine(int line, ModemLine state);
    // Break, line errors and modem-line changes since the last look, as event bits.
    std::uint32_t lineStatusEvents(std::uint32_t wanted);

    int m_fd;
    std::string m_path;
    int m_epfd = -1;
    bool m_ok = false;
    PosixEvent m_closing;
    PosixEvent m_txWake;

    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_users = 0;
    bool m_closed = false;
    std::shared_ptr<PosixEvent> m_readAbort;
    std::shared_ptr<PosixEvent> m_writeAbort;
    TComTimeoutValues m_timeouts{kMaxDword, 0, 0, 0, 0};
    ReceiveBaseline m_rxBaseline;
    bool m_icountOk = false;
    serial_icounter_struct m_errCount{};
    serial_icounter_struct m_waitCount{};

    std::mutex m_waitMutex; // one line-event wait at a time
    std::atomic<std::uint32_t> m_mask{0};
    std::atomic<bool> m_discardNull{false};
    std::atomic<std::uint32_t> m_inQueue{4096};
    std::atomic<std::uint32_t> m_baud{9600};
    std::atomic<bool> m_txPending{false};
};

} // namespace memvane::posix
