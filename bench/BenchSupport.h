#pragma once
// What every benchmark shares: the machine it ran on, clocks and statistics, a temporary folder,
// the simulated radio as a separate process (so the program's CPU time is not mixed with the
// radio's), and a UiEffects that records what an operation showed and times its event handling.
//
// Benchmarks are plain executables. They print their figures on stdout, one "name: value" line
// each, and never assert: a figure that misses its target is reported, not hidden behind an
// exit code.

#include "core/UiEffects.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace memvane::bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
inline double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// "1.03 1.20 1.50" from /proc/loadavg.
std::string loadAverage();

// Prints the benchmark's name, CPU model, cores, kernel, the load average now and the date.
void printMachine(const std::string& benchName);

// Prints "name: value" with the load average appended in brackets; benchmarks that run long
// print it with each figure so a busy moment shows.
void printFigure(const std::string& name, const std::string& value);

// "12.345" with `decimals` decimals.
std::string fixed(double value, int decimals = 3);

struct Stats
{
    std::size_t count = 0;
    double min = 0, median = 0, mean = 0, p99 = 0, max = 0, sum = 0;
};
Stats statsOf(std::vector<double> values);
// "median 0.123 ms, p99 0.456 ms, worst 0.789 ms (n=1000)".
std::string describe(const Stats& s, const std::string& unit = "ms");

// CPU time (user + system) of this process so far, in ms.
struct CpuTime
{
    double userMs = 0, systemMs = 0;
    double totalMs() const { return userMs + systemMs; }
};
CpuTime processCpu();
// utime + stime of another process from /proc/<pid>/stat, in clock ticks and ms.
struct ProcCpu
{
    long long ticks = -1;
    double ms = 0;
};
ProcCpu procCpu(pid_t pid);
// A "kB" line of /proc/<pid>/status (VmRSS, VmHWM, ...); -1 when missing.
long long procStatusKb(pid_t pid, const std::string& key);
// A plain number line of /proc/<pid>/status (voluntary_ctxt_switches, Threads, ...).
long long procStatusValue(pid_t pid, const std::string& key);

// A fresh folder under the system's temporary folder, removed with its contents at the end.
using TempFolder = test::TempDir;

// A child process with its stdout (and optionally stderr) going to a file.
class ChildProcess
{
public:
    // `env` entries ("NAME=value") are added to this process's environment. Standard input
    // comes from `stdinPath` (/dev/null when empty); standard error goes to `stderrPath`, or
    // stays this process's when empty.
    ChildProcess(const std::vector<std::string>& argv, const std::string& stdoutPath,
                 const std::vector<std::string>& env = {}, const std::string& stdinPath = {},
                 const std::string& stderrPath = {});
    ~ChildProcess(); // SIGTERM, then SIGKILL after 3 s
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    Clock::time_point started() const { return m_started; }
    bool running();
    // Sends SIGTERM and waits (SIGKILL after `graceMs`); returns the exit status as waitpid
    // reports it.
    int stop(int graceMs = 3000);
    // Waits for the process to end by itself; false after `timeoutMs`.
    bool wait(int timeoutMs, int* status = nullptr);

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
    Clock::time_point m_started;
};

// memvane-radio (the simulated IC-706) in its own process, on a pty reached through a link.
struct RadioOptions
{
    int delayMs = 5;          // the radio's answer delay (memvane-radio's default)
    int lineRate = 0;         // --line-rate: the radio paces its line at this many bit/s
    std::string memoriesFile; // empty: no memories file
    std::string logFile;      // empty: no frame log
};
class RadioProcess
{
public:
    RadioProcess(const TempFolder& folder, const RadioOptions& options);
    const std::string& link() const { return m_link; }
    const std::string& pty() const { return m_pty; }
    pid_t pid() const { return m_child->pid(); }
    ProcCpu cpu() const { return procCpu(m_child->pid()); }
    // Frames in the log so far (lines of the log file).
    std::size_t loggedFrames() const;
    std::vector<std::string> frameLog() const;
    const RadioOptions& options() const { return m_options; }

private:
    RadioOptions m_options;
    std::string m_link;
    std::string m_pty;
    std::unique_ptr<ChildProcess> m_child;
};

// Writes a memvane-radio memories file with memories 1..count filled: a mix of bands, modes,
// filters, duplex and split, as a user's radio might hold.
void writeSampleMemories(const std::string& path, int count = 99);
// A radio in `folder` holding those 99 memories ("memories.txt") and logging its frames
// ("frames.log"): writes the memories file and returns the options.
RadioOptions sampleRadio(const TempFolder& folder, int delayMs = RadioOptions().delayMs);
// What a full read must show for memory `n` of that file: the row texts 2..6 and 8
// (Freq VFO A, Freq VFO B, Mode, filter, Duplex / Split, offset).
std::vector<std::string> expectedRowTexts(int n);

// UiEffects for operations run outside the window: records the status label and the error
// lines, answers dialogs with what the benchmark set, and runs the Qt event loop (when there is
// a QCoreApplication) or the serial main-thread queue at processEvents, timing each call.
class BenchUi : public UiEffects
{
public:
    std::string label;
    std::vector<std::string> errorLines;
    std::vector<std::string> messages;
    std::string saveAnswer; // path returned by the save dialog
    std::vector<double> processEventsMs;

    void setStatus(const std::string& text) override { label = text; }
    std::string status() const override { return label; }
    void processEvents() override;
    void appendErrorLine(const std::string& line) override { errorLines.push_back(line); }
    void clearErrorList() override { errorLines.clear(); }
    void setErrorsEnabled(bool) override {}
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool askOkCancel(const std::string& text) override
    {
        messages.push_back(text);
        return true;
    }
    std::optional<std::string> runSaveDialog(const FileDialogRequest&) override
    {
        return saveAnswer;
    }
    std::optional<std::string> runOpenDialog(const FileDialogRequest&) override
    {
        return std::nullopt;
    }
    void hideEditPanel() override {}
};

// Runs `command` through the shell and returns its stdout.
std::string capture(const std::string& command);

// The value after `name` in the "--name value" pairs of the command line; `fallback` when absent.
int intOption(int argc, char** argv, const char* name, int fallback);

// A benchmark's main: runs `body` and turns an exception into "benchmark failed: ..." and exit
// code 1. Caught here so the stack unwinds and the radio, Xvfb and program processes are
// stopped on the way out.
int runBenchmark(int (*body)(int, char**), int argc, char** argv);

} // namespace memvane::bench
