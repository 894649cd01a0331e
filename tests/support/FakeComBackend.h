#pragma once
// A recording stand-in for the serial backend. Every device operation is written to a call log
// ("open COM1", "setupComm 1024 1024", "setCommState", "setCommTimeouts", "setCommMask 0x05FD",
// "purge 0x000C", "read 200", "write 5", "close", ...) so a test can check exactly what reaches
// the device and in which order. The line is scripted: queue received bytes, raise line events,
// make operations fail, hang the line up. Line-event waits are not logged (their number depends
// on thread timing). Thread-safe: the port's event thread uses it too.

#include "serial/ComBackend.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace memvane::test {

class FakeComBackend : public TComBackend
{
public:
    FakeComBackend();

    std::shared_ptr<ComDevice> open(const std::string& port, bool overlapped,
                                    ComOpenError& error) override;
    std::shared_ptr<ComEvent> createEvent() override;
    void setThreadPriority(int priority) override;

    // ---- what reached the device
    std::vector<std::string> calls() const;
    // Only the calls whose text starts with one of `prefixes`.
    std::vector<std::string> calls(const std::vector<std::string>& prefixes) const;
    void clearCalls();
    std::vector<TComDCB> dcbs() const; // every block given to setCommState, in order
    TComTimeoutValues lastTimeouts() const;
    std::uint32_t mask() const;
    std::string written() const; // every byte written so far
    int openDevices() const;
    int threadPriority() const; // last value given to setThreadPriority, -1 if none

    // ---- scripting the line
    void failOpen(const std::string& port, int error); // that port cannot be opened
    void failOp(const std::string& op, int error);     // "setCommState", "purge", ... (0 clears)
    void setModemStatus(std::uint32_t status);
    // Queues bytes and reports EV_RXCHAR (when the mask has it).
    void receive(const std::string& bytes);
    // Reports events without data.
    void raise(std::uint32_t events);
    // The device disappears: waits fail with EIO, so do reads, writes and queries, and the
    // device reports itself lost.
    void hangUp();
    std::string queued() const;
    // Blocks until a line-event wait is in progress (at most `ms`); false on timeout.
    bool waitUntilWaiting(int ms) const;

private:
    struct State;
    class Device;
    class Event;
    std::shared_ptr<State> m_state;
};

} // namespace memvane::test
