#include "bench/BenchSupport.h"

#include "serial/MainThreadQueue.h"
#include "tests/support/Files.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <numeric>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace memvane::bench {

namespace {

std::string trim(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r'))
        s.pop_back();
    size_t first = s.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : s.substr(first);
}

std::string cpuModel()
{
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("model name", 0) == 0) {
            size_t colon = line.find(':');
            if (colon != std::string::npos)
                return trim(line.substr(colon + 1));
        }
    }
    return "unknown";
}

} // namespace

std::string loadAverage()
{
    std::istringstream in(test::slurp("/proc/loadavg"));
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

void printMachine(const std::string& benchName)
{
    utsname u{};
    ::uname(&u);
    std::time_t now = std::time(nullptr);
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S %Z", std::localtime(&now));
    std::cout << "== " << benchName << "\n"
              << "machine: " << cpuModel() << ", " << std::thread::hardware_concurrency()
              << " cores, " << u.sysname << " " << u.release << " " << u.machine << "\n"
              << "load average at start: " << loadAverage() << "\n"
              << "date: " << date << "\n"
              << std::flush;
}

void printFigure(const std::string& name, const std::string& value)
{
    std::cout << name << ": " << value << "   [load " << loadAverage() << "]\n" << std::flush;
}

std::string fixed(double value, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

Stats statsOf(std::vector<double> values)
{
    Stats s;
    s.count = values.size();
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.min = values.front();
    s.max = values.back();
    s.sum = std::accumulate(values.begin(), values.end(), 0.0);
    s.mean = s.sum / static_cast<double>(values.size());
    size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    size_t p = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(n))) - 1;
    s.p99 = values[std::min(p, n - 1)];
    return s;
}

std::string describe(const Stats& s, const std::string& unit)
{
    return "median " + fixed(s.median) + " " + unit + ", p99 " + fixed(s.p99) + " " + unit +
           ", worst " + fixed(s.max) + " " + unit + ", mean " + fixed(s.mean) + " " + unit +
           " (n=" + std::to_string(s.count) + ")";
}

CpuTime processCpu()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return {ms(u.ru_utime), ms(u.ru_stime)};
}

ProcCpu procCpu(pid_t pid)
{
    std::string stat = test::slurp("/proc/" + std::to_string(pid) + "/stat");
    // The command name in brackets may hold blanks; the fields after it are plain.
    size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return {};
    std::istringstream in(stat.substr(close + 2));
    std::vector<std::string> fields;
    for (std::string f; in >> f;)
        fields.push_back(f);
    // Field 3 (state) is fields[0]; utime is field 14, stime field 15.
    if (fields.size() < 13)
        return {};
    long long ticks = std::stoll(fields[11]) + std::stoll(fields[12]);
    double hz = static_cast<double>(::sysconf(_SC_CLK_TCK));
    return {ticks, static_cast<double>(ticks) * 1000.0 / hz};
}

long long procStatusValue(pid_t pid, const std::string& key)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key + ":", 0) == 0)
            return std::atoll(line.c_str() + key.size() + 1);
    }
    return -1;
}

long long procStatusKb(pid_t pid, const std::string& key)
{
    return procStatusValue(pid, key);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& stdoutPath,
                           const std::vector<std::string>& env, const std::string& stdinPath,
                           const std::string& stderrPath)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    m_started = Clock::now();
    m_pid = ::fork();
    if (m_pid < 0)
        throw std::runtime_error("fork: " + std::string(strerror(errno)));
    if (m_pid == 0) {
        // Only async-signal-safe calls from here on.
        int in = ::open(stdinPath.empty() ? "/dev/null" : stdinPath.c_str(), O_RDONLY);
        if (in >= 0)
            ::dup2(in, 0);
        int out = ::open(stdoutPath.empty() ? "/dev/null" : stdoutPath.c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0)
            ::dup2(out, 1);
        if (!stderrPath.empty()) {
            int err = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err >= 0)
                ::dup2(err, 2);
        }
        for (const auto& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        ::execv(args[0], args.data());
        ::_exit(127);
    }
}

ChildProcess::~ChildProcess()
{
    if (!m_reaped)
        stop();
}

bool ChildProcess::running()
{
    if (m_reaped)
        return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_reaped = true;
        return false;
    }
    return true;
}

bool ChildProcess::wait(int timeoutMs, int* status)
{
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
        int st = 0;
        if (m_reaped)
            return true;
        if (::waitpid(m_pid, &st, WNOHANG) == m_pid) {
            m_reaped = true;
            if (status)
                *status = st;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

int ChildProcess::stop(int graceMs)
{
    if (m_reaped)
        return 0;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    if (!wait(graceMs, &status)) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
        m_reaped = true;
    }
    return status;
}

RadioProcess::RadioProcess(const TempFolder& folder, const RadioOptions& options)
    : m_options(options)
{
    m_link = folder.file("radio");
    std::string out = folder.file("radio.out");
    std::vector<std::string> argv = {MEMVANE_RADIO_EXE, "--link", m_link, "--delay-ms",
                                     std::to_string(options.delayMs)};
    if (!options.memoriesFile.empty()) {
        argv.push_back("--memories");
        argv.push_back(options.memoriesFile);
    }
    if (!options.logFile.empty()) {
        argv.push_back("--log");
        argv.push_back(options.logFile);
    }
    if (options.lineRate > 0) {
        argv.push_back("--line-rate");
        argv.push_back(std::to_string(options.lineRate));
    }
    m_child = std::make_unique<ChildProcess>(argv, out);
    // A real radio answers on its own CPU, however busy the computer is; the simulated one
    // shares this machine's, so it gets ahead of other work where that is allowed (root).
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(m_child->pid()), -10);
    auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end) {
        std::string text = test::slurp(out);
        if (text.find('\n') != std::string::npos) {
            m_pty = text.substr(0, text.find('\n'));
            return;
        }
        if (!m_child->running())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    throw std::runtime_error("memvane-radio did not report its pseudo-terminal");
}

std::vector<std::string> RadioProcess::frameLog() const
{
    std::vector<std::string> lines;
    if (m_options.logFile.empty())
        return lines;
    std::ifstream in(m_options.logFile);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

std::size_t RadioProcess::loggedFrames() const
{
    return frameLog().size();
}

namespace {

struct SampleMemory
{
    long long rxHz, txHz;
    const char* mode; // memvane-radio's mode word
    const char* modeName;
    const char* filter;
    bool split;
    char duplex; // '0', '-', '+'
    long long offsetHz;
};

// Nine kinds of channel, cycled through the memories with the frequency stepped per memory.
SampleMemory sampleMemory(int n)
{
    long long step = static_cast<long long>(n) * 5'000;
    switch (n % 9) {
    case 0:
        return {145'200'000 + step, 145'200'000 + step, "FM", "FM", "Normal", false, '0', 600'000};
    case 1:
        return {145'600'000 + step, 145'000'000 + step, "FM", "FM", "Normal", false, '-', 600'000};
    case 2:
        return {439'000'000 + step, 431'400'000 + step, "FM", "FM", "Narrow", false, '-',
                7'600'000};
    case 3:
        return {14'100'000 + step, 14'100'000 + step, "USB", "USB", "Normal", false, '0', 100'000};
    case 4:
        return {7'000'000 + step, 7'000'000 + step, "CW", "CW", "Narrow", false, '0', 100'000};
    case 5:
        return {3'500'000 + step, 3'700'000 + step, "LSB", "LSB", "Normal", true, '0', 100'000};
    case 6:
        return {28'000'000 + step, 28'000'000 + step, "AM", "AM", "Wide", false, '0', 100'000};
    case 7:
        return {51'000'000 + step, 50'400'000 + step, "FM", "FM", "Normal", false, '-', 600'000};
    default:
        return {88'000'000 + step * 20,
                88'000'000 + step * 20,
                "WFM",
                "Wide FM",
                "Normal",
                false,
                '0',
                100'000};
    }
}

std::string mhz(long long hz, const char* format)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, format, hz / 1'000'000, hz % 1'000'000);
    return buf;
}

} // namespace

void writeSampleMemories(const std::string& path, int count)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "# LOC RX-MHZ RX-MODE RX-FILTER TX-MHZ TX-MODE TX-FILTER SPLIT DUPLEX OFFSET-MHZ\n";
    for (int n = 1; n <= count; ++n) {
        SampleMemory m = sampleMemory(n);
        char offset[32];
        std::snprintf(offset, sizeof offset, "%lld.%04lld", m.offsetHz / 1'000'000,
                      (m.offsetHz % 1'000'000) / 100);
        out << n << ' ' << mhz(m.rxHz, "%lld.%06lld") << ' ' << m.mode << ' ' << m.filter << ' '
            << mhz(m.txHz, "%lld.%06lld") << ' ' << m.mode << ' ' << m.filter << ' '
            << (m.split ? "on" : "off") << ' '
            << (m.duplex == '0' ? "off" : std::string(1, m.duplex)) << ' ' << offset << '\n';
    }
}

RadioOptions sampleRadio(const TempFolder& folder, int delayMs)
{
    RadioOptions ro;
    ro.delayMs = delayMs;
    ro.memoriesFile = folder.file("memories.txt");
    ro.logFile = folder.file("frames.log");
    writeSampleMemories(ro.memoriesFile);
    return ro;
}

std::vector<std::string> expectedRowTexts(int n)
{
    SampleMemory m = sampleMemory(n);
    std::string tx = mhz(m.txHz, "%04lld.%06lld");
    std::string rx = mhz(m.rxHz, "%04lld.%06lld");
    std::string split;
    double f = static_cast<double>(m.txHz) / 1e6;
    if (tx == rx)
        split = "Duplex Off";
    else if (f < 30)
        split = "Split On";
    else if (f >= 50 && f <= 52)
        split = "Duplex +";
    else if (f >= 144 && f <= 146)
        split = "Duplex --";
    else if (f >= 430 && f <= 444)
        split = "Duplex +";
    else
        split = "Split On";
    char offset[32];
    std::snprintf(offset, sizeof offset, "%02lld.%04lld", m.offsetHz / 1'000'000,
                  (m.offsetHz % 1'000'000) / 100);
    return {tx, rx, m.modeName, m.filter, split, offset};
}

void BenchUi::processEvents()
{
    auto start = Clock::now();
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    else
        mainthread::Drain();
    processEventsMs.push_back(msSince(start));
}

std::string capture(const std::string& command)
{
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

int intOption(int argc, char** argv, const char* name, int fallback)
{
    int value = fallback;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!std::strcmp(argv[i], name))
            value = std::atoi(argv[i + 1]);
    return value;
}

int runBenchmark(int (*body)(int, char**), int argc, char** argv)
{
    try {
        return body(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "benchmark failed: " << e.what() << "\n";
        return 1;
    }
}

} // namespace memvane::bench
