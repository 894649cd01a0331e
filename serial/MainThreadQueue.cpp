#include "serial/MainThreadQueue.h"

#include "core/ExceptionHandler.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace memvane::mainthread {

namespace {

struct SyncCall
{
    std::function<void()> fn;
    bool done = false;
    std::exception_ptr error;
};

struct Entry
{
    SyncCall* sync = nullptr;     // a worker waits for it
    std::function<void()> posted; // nobody waits
};

struct Queue
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Entry> entries;
    std::function<void()> wake;
    bool wakePending = false;
    std::thread::id mainThread;
};

// Never destroyed: a worker may still call in while static objects are torn down at exit.
Queue& queue()
{
    static Queue* q = new Queue;
    return *q;
}

bool onMainThread()
{
    std::lock_guard lock(queue().mutex);
    return std::this_thread::get_id() == queue().mainThread;
}

// Caller holds the lock.
void wakeLocked(Queue& q)
{
    q.changed.notify_all();
    if (q.wake && !q.wakePending) {
        q.wakePending = true;
        q.wake();
    }
}

void runSyncCall(Queue& q, SyncCall* call, std::unique_lock<std::mutex>& lock)
{
    lock.unlock();
    try {
        call->fn();
    } catch (...) {
        call->error = std::current_exception();
    }
    lock.lock();
    call->done = true;
    q.changed.notify_all();
}

void runPosted(std::function<void()>& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        HandleApplicationException(e);
    } catch (...) {
        HandleApplicationException(std::runtime_error("Unknown error"));
    }
}

} // namespace

bool IsMainThread()
{
    return onMainThread();
}

void Attach()
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.mainThread == std::thread::id())
        q.mainThread = std::this_thread::get_id();
}

void SetWakeHook(std::function<void()> wake)
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    q.wake = std::move(wake);
    q.wakePending = false;
    if (!q.wake)
        return;
    q.mainThread = std::this_thread::get_id();
    // Calls queued before the loop could be woken are not left waiting.
    if (!q.entries.empty())
        wakeLocked(q);
}

void Woken()
{
    {
        std::lock_guard lock(queue().mutex);
        queue().wakePending = false;
    }
    Drain();
}

std::exception_ptr RunSync(std::function<void()> fn)
{
    if (onMainThread()) {
        try {
            fn();
        } catch (...) {
            return std::current_exception();
        }
        return nullptr;
    }
    Queue& q = queue();
    SyncCall call;
    call.fn = std::move(fn);
    std::unique_lock lock(q.mutex);
    q.entries.push_back(Entry{&call, {}});
    wakeLocked(q);
    q.changed.wait(lock, [&] { return call.done; });
    return call.error;
}

void Post(std::function<void()> fn)
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    q.entries.push_back(Entry{nullptr, std::move(fn)});
    wakeLocked(q);
}

void Drain()
{
    Queue& q = queue();
    std::unique_lock lock(q.mutex);
    while (!q.entries.empty()) {
        Entry e = std::move(q.entries.front());
        q.entries.pop_front();
        if (e.sync) {
            runSyncCall(q, e.sync, lock);
        } else {
            lock.unlock();
            runPosted(e.posted);
            lock.lock();
        }
    }
}

void ServiceUntil(const std::function<bool()>& done)
{
    Queue& q = queue();
    std::unique_lock lock(q.mutex);
    for (;;) {
        if (done())
            return;
        auto it = q.entries.begin();
        while (it != q.entries.end() && !it->sync)
            ++it;
        if (it != q.entries.end()) {
            SyncCall* call = it->sync;
            q.entries.erase(it);
            runSyncCall(q, call, lock);
            continue;
        }
        q.changed.wait(lock);
    }
}

void Notify()
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    q.changed.notify_all();
}

int Pending()
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    return static_cast<int>(q.entries.size());
}

} // namespace memvane::mainthread
