#pragma once
// The program as a user runs it, watched from outside: a private Xvfb server, memvane-radio,
// and a copy of the memvane executable in a temporary folder with a "ComPort.ini" next to it
// naming the radio's link (the program reads its settings from its own folder). An X client
// connection (xcb) sees the main window being mapped and its title being set; nothing inside
// the program is changed for the measurement.

#include "bench/BenchSupport.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace memvane::bench {

// Xvfb on the first free display from :91 on, 1280x1024x24, no TCP, no reset when the last
// client leaves (a reset would refuse the next connection for a moment).
class XServer
{
public:
    XServer();
    const std::string& display() const { return m_display; }

private:
    std::string m_display;
    std::unique_ptr<ChildProcess> m_process;
};

// An X client watching the root window for top-level windows being mapped.
class XWatcher
{
public:
    explicit XWatcher(const std::string& display);
    ~XWatcher();
    XWatcher(const XWatcher&) = delete;
    XWatcher& operator=(const XWatcher&) = delete;

    // Waits for the next top-level window (not override-redirect) to be mapped; 0 on timeout.
    // `when` gets the time the event was read.
    std::uint32_t waitForMap(int timeoutMs, Clock::time_point& when);
    // Waits until the window's title contains `text`; false on timeout.
    bool waitForTitle(std::uint32_t window, const std::string& text, int timeoutMs,
                      Clock::time_point& when);
    std::string title(std::uint32_t window);
    // Asks the window to close as a window manager's close button does (WM_DELETE_WINDOW).
    void requestClose(std::uint32_t window);

private:
    std::uint32_t atom(const char* name);
    xcb_connection_t* m_conn = nullptr;
    std::uint32_t m_root = 0;
};

// The program in a temporary folder, started against a radio link.
class ProgramUnderTest
{
public:
    // Starts `folder`/memvane (see installProgram) on `display`.
    ProgramUnderTest(const TempFolder& folder, const std::string& display);
    pid_t pid() const { return m_process->pid(); }
    Clock::time_point started() const { return m_process->started(); }
    ChildProcess& process() { return *m_process; }
    // The serial device the program holds open (/proc/<pid>/fd), or empty.
    std::string openPty() const;

private:
    std::unique_ptr<ChildProcess> m_process;
};

// Copies the memvane executable into `folder` with a "ComPort.ini" naming `radioLink`.
void installProgram(const TempFolder& folder, const std::string& radioLink);

// Context switches of every thread of a process, by thread id.
struct ThreadSwitches
{
    std::string name; // /proc/<pid>/task/<tid>/comm
    long long voluntary = 0, involuntary = 0;
    long long runNs = 0; // time on a CPU so far (schedstat), in ns
};
std::map<pid_t, ThreadSwitches> threadSwitches(pid_t pid);

// The switches between two readings, over the threads present in both (a thread that started or
// ended in between would otherwise count from or to zero).
struct SwitchDelta
{
    long long voluntary = 0, involuntary = 0, runNs = 0;
    int threads = 0;
    std::vector<std::string> started, ended; // thread names
    std::vector<std::string> woke;           // "name: N switches, T ms" of threads that ran
};
SwitchDelta switchDelta(const std::map<pid_t, ThreadSwitches>& before,
                        const std::map<pid_t, ThreadSwitches>& after);

} // namespace memvane::bench
