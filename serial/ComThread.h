#pragma once
// TComThread: the event thread of an open port.

#include "serial/CPortTypes.h"

#include <memory>
#include <thread>

namespace memvane {

class TCustomComPort;

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
