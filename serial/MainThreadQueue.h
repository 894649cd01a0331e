#pragma once
// Calls from a worker thread into the main (user-interface) thread.
//
// A worker puts a callable on the queue; the wake hook that the window's event loop installs
// (serial/QtMainThreadWake.h for Qt) makes that loop call Woken(), which runs the queued calls
// on the main thread. So a call runs only where the main thread services its events (its idle
// loop, processing pending events, a modal dialog), never in the middle of main-thread code that
// does not. RunSync blocks the worker until its call has run; Post does not wait.
//
// A main thread that must wait for a worker (the serial port's Close) uses ServiceUntil, which
// keeps running queued synchronous calls while it waits, so it cannot deadlock against a worker
// blocked in RunSync. Without a wake hook (the command-line tool, most tests) the calls run only
// in Drain / ServiceUntil.

#include <exception>
#include <functional>

namespace memvane::mainthread {

// Names the main thread when none is known yet: the thread that calls it first (the port's
// constructor does). Harmless to call again.
void Attach();

// Installs how the main thread's event loop is woken (null removes it). `wake` runs on the
// thread that queued a call, while the queue is locked: it must only arrange for Woken() to run
// soon on the main thread (post an event) and never call into the queue. It is called once per
// wake-up: again only after Woken() has started. The calling thread becomes the main thread.
void SetWakeHook(std::function<void()> wake);

// Main thread, from the event loop: the wake-up has arrived; runs every call queued so far.
void Woken();

// True on the thread that services the queue (the one that installed the wake hook; without a
// hook, the thread that called Attach first).
bool IsMainThread();

// Runs `fn` on the main thread and waits until it has run. Returns what it threw, if anything.
// Called on the main thread itself, it runs `fn` at once.
std::exception_ptr RunSync(std::function<void()> fn);

// Queues `fn` for the main thread and returns at once. Exceptions it throws go to the
// application's exception handler.
void Post(std::function<void()> fn);

// Main thread: runs every call queued so far (synchronous and posted).
void Drain();

// Main thread: runs queued synchronous calls until `done()` is true. `done` is evaluated under
// the queue's lock after every wake-up; a worker that changes its answer calls Notify().
void ServiceUntil(const std::function<bool()>& done);

// Wakes ServiceUntil so it evaluates `done` again.
void Notify();

// How many calls wait for the main thread now (synchronous and posted); any thread.
int Pending();

} // namespace memvane::mainthread
