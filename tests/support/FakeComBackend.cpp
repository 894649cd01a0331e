#include "tests/support/FakeComBackend.h"

#include "serial/CPortTypes.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>

namespace memvane::test {

struct FakeComBackend::State
{
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<std::string> calls;
    std::vector<TComDCB> dcbs;
    TComTimeoutValues timeouts;
    std::uint32_t mask = 0;
    std::uint32_t pending = 0;
    std::string rx;
    std::string tx;
    bool hungUp = false;
    int openDevices = 0;
    int waiting = 0;
    int priority = -1;
    std::uint32_t modemStatus = 0;
    std::map<std::string, int> openErrors;
    std::map<std::string, int> opErrors;

    void log(std::string text) { calls.push_back(std::move(text)); }
    int error(const std::string& op) const
    {
        auto it = opErrors.find(op);
        if (it != opErrors.end() && it->second)
            return it->second;
        return hungUp ? EIO : 0;
    }
};

namespace {
std::string hex(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}
} // namespace

class FakeComBackend::Event : public ComEvent
{
public:
    explicit Event(std::shared_ptr<State> st) : m_st(std::move(st)) {}
    void set() override
    {
        std::lock_guard lock(m_st->mutex);
        m_set = true;
        m_st->changed.notify_all();
    }
    void reset() override
    {
        std::lock_guard lock(m_st->mutex);
        m_set = false;
    }
    bool isSet() const override
    {
        std::lock_guard lock(m_st->mutex);
        return m_set;
    }
    bool isSetLocked() const { return m_set; }

private:
    std::shared_ptr<State> m_st;
    bool m_set = false;
};

class FakeComBackend::Device : public ComDevice
{
public:
    Device(std::shared_ptr<State> st, std::string port) : m_st(std::move(st)), m_port(std::move(port))
    {
    }
    ~Device() override { close(); }

    int setupComm(std::uint32_t in, std::uint32_t out) override
    {
        return logged("setupComm " + std::to_string(in) + " " + std::to_string(out), "setupComm");
    }
    int setCommState(const TComDCB& dcb) override
    {
        return logged("setCommState", "setCommState", [&] { m_st->dcbs.push_back(dcb); });
    }
    int setCommTimeouts(const TComTimeoutValues& t) override
    {
        return logged("setCommTimeouts", "setCommTimeouts", [&] { m_st->timeouts = t; });
    }
    int setCommMask(std::uint32_t mask) override
    {
        std::lock_guard lock(m_st->mutex);
        if (m_closed)
            return EBADF;
        m_st->log("setCommMask " + hex(mask));
        m_st->mask = mask;
        m_st->changed.notify_all();
        return 0;
    }
    ComWaitResult waitCommEvent(ComEvent* stop, int timeoutMs, std::uint32_t& mask,
                                int& error) override
    {
        mask = 0;
        error = 0;
        auto* ev = dynamic_cast<Event*>(stop);
        std::unique_lock lock(m_st->mutex);
        ++m_st->waiting;
        m_st->changed.notify_all();
        auto ready = [&] {
            return (ev && ev->isSetLocked()) || m_closed || m_st->hungUp ||
                   (m_st->pending & m_st->mask) != 0;
        };
        bool done = true;
        if (timeoutMs < 0)
            m_st->changed.wait(lock, ready);
        else
            done = m_st->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        --m_st->waiting;
        if (ev && ev->isSetLocked())
            return ComWaitResult::Stopped;
        if (m_closed) {
            error = EBADF;
            return ComWaitResult::Failed;
        }
        if (m_st->hungUp) {
            error = EIO;
            return ComWaitResult::Failed;
        }
        if (!done)
            return ComWaitResult::TimedOut;
        mask = m_st->pending & m_st->mask;
        m_st->pending &= ~mask;
        return ComWaitResult::Events;
    }
    int read(void* buffer, int size, int& count) override
    {
        count = 0;
        return logged("read " + std::to_string(size), "read", [&] {
            count = std::min<int>(size, static_cast<int>(m_st->rx.size()));
            std::memcpy(buffer, m_st->rx.data(), static_cast<std::size_t>(count));
            m_st->rx.erase(0, static_cast<std::size_t>(count));
        });
    }
    int write(const void* buffer, int size, int& count) override
    {
        count = 0;
        return logged("write " + std::to_string(size), "write", [&] {
            m_st->tx.append(static_cast<const char*>(buffer), static_cast<std::size_t>(size));
            count = size;
        });
    }
    int purge(std::uint32_t flags) override
    {
        std::lock_guard lock(m_st->mutex);
        if (m_closed)
            return EBADF;
        m_st->log("purge " + hex(flags));
        auto it = m_st->opErrors.find("purge");
        if (it != m_st->opErrors.end() && it->second)
            return it->second;
        // Ending transfers needs no device; clearing its queues does.
        if (m_st->hungUp && (flags & (PURGE_RXCLEAR | PURGE_TXCLEAR)))
            return EIO;
        if (flags & PURGE_RXCLEAR)
            m_st->rx.clear();
        return 0;
    }
    int clearCommError(std::uint32_t& errors, TComStat& stat) override
    {
        errors = 0;
        stat = TComStat{};
        return logged("clearCommError", "clearCommError",
                      [&] { stat.InQueue = static_cast<std::uint32_t>(m_st->rx.size()); });
    }
    int getModemStatus(std::uint32_t& status) override
    {
        status = 0;
        return logged("getModemStatus", "getModemStatus", [&] { status = m_st->modemStatus; });
    }
    int escapeCommFunction(std::uint32_t function) override
    {
        return logged("escape " + std::to_string(function), "escape");
    }
    int transmitCommChar(std::uint8_t ch) override
    {
        return logged("transmit " + std::to_string(ch), "transmit");
    }
    int close() override
    {
        std::lock_guard lock(m_st->mutex);
        if (m_closed)
            return 0;
        m_closed = true;
        --m_st->openDevices;
        m_st->log("close");
        m_st->changed.notify_all();
        return 0;
    }
    std::intptr_t nativeHandle() const override
    {
        std::lock_guard lock(m_st->mutex);
        return m_closed ? -1 : 1000;
    }
    std::string lostReason() override
    {
        std::lock_guard lock(m_st->mutex);
        if (m_closed || !m_st->hungUp)
            return {};
        return "lost " + m_port + ": hung up";
    }

private:
    // Under the lock: a closed device refuses, the call is logged, an error the test set for
    // `op` (or a hang-up) fails it; otherwise `effect` runs.
    int logged(const std::string& text, const std::string& op,
               const std::function<void()>& effect = {})
    {
        std::lock_guard lock(m_st->mutex);
        if (m_closed)
            return EBADF;
        m_st->log(text);
        if (int err = m_st->error(op))
            return err;
        if (effect)
            effect();
        return 0;
    }

    std::shared_ptr<State> m_st;
    std::string m_port;
    bool m_closed = false;
};

FakeComBackend::FakeComBackend() : m_state(std::make_shared<State>()) {}

std::shared_ptr<ComDevice> FakeComBackend::open(const std::string& port, bool, ComOpenError& error)
{
    std::lock_guard lock(m_state->mutex);
    m_state->log("open " + port);
    auto it = m_state->openErrors.find(port);
    if (it != m_state->openErrors.end()) {
        error.error = it->second;
        error.detail = "cannot open " + port + ": " + std::strerror(it->second);
        return nullptr;
    }
    ++m_state->openDevices;
    m_state->hungUp = false;
    m_state->pending = 0;
    return std::make_shared<Device>(m_state, port);
}

std::shared_ptr<ComEvent> FakeComBackend::createEvent()
{
    return std::make_shared<Event>(m_state);
}

void FakeComBackend::setThreadPriority(int priority)
{
    std::lock_guard lock(m_state->mutex);
    m_state->priority = priority;
}

std::vector<std::string> FakeComBackend::calls() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->calls;
}

std::vector<std::string> FakeComBackend::calls(const std::vector<std::string>& prefixes) const
{
    std::vector<std::string> out;
    for (const std::string& c : calls()) {
        for (const std::string& p : prefixes) {
            if (c.rfind(p, 0) == 0) {
                out.push_back(c);
                break;
            }
        }
    }
    return out;
}

void FakeComBackend::clearCalls()
{
    std::lock_guard lock(m_state->mutex);
    m_state->calls.clear();
    m_state->dcbs.clear();
}

std::vector<TComDCB> FakeComBackend::dcbs() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->dcbs;
}

TComTimeoutValues FakeComBackend::lastTimeouts() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->timeouts;
}

std::uint32_t FakeComBackend::mask() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->mask;
}

std::string FakeComBackend::written() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->tx;
}

int FakeComBackend::openDevices() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->openDevices;
}

int FakeComBackend::threadPriority() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->priority;
}

void FakeComBackend::failOpen(const std::string& port, int error)
{
    std::lock_guard lock(m_state->mutex);
    if (error)
        m_state->openErrors[port] = error;
    else
        m_state->openErrors.erase(port);
}

void FakeComBackend::failOp(const std::string& op, int error)
{
    std::lock_guard lock(m_state->mutex);
    m_state->opErrors[op] = error;
}

void FakeComBackend::setModemStatus(std::uint32_t status)
{
    std::lock_guard lock(m_state->mutex);
    m_state->modemStatus = status;
}

void FakeComBackend::receive(const std::string& bytes)
{
    std::lock_guard lock(m_state->mutex);
    m_state->rx += bytes;
    m_state->pending |= EV_RXCHAR;
    m_state->changed.notify_all();
}

void FakeComBackend::raise(std::uint32_t events)
{
    std::lock_guard lock(m_state->mutex);
    m_state->pending |= events;
    m_state->changed.notify_all();
}

void FakeComBackend::hangUp()
{
    std::lock_guard lock(m_state->mutex);
    m_state->hungUp = true;
    m_state->changed.notify_all();
}

std::string FakeComBackend::queued() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->rx;
}

bool FakeComBackend::waitUntilWaiting(int ms) const
{
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, std::chrono::milliseconds(ms),
                                     [&] { return m_state->waiting > 0; });
}

} // namespace memvane::test
