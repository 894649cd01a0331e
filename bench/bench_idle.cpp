// The running program at rest: memvane under a private Xvfb, its port open on memvane-radio,
// no traffic and no input, for 60 s (after a short settling time). CPU time is utime + stime
// from /proc/<pid>/stat before and after (one tick is 10 ms), and the context switches of all
// its threads show how often anything in it woke up. The port's event thread should be
// asleep in the kernel (epoll) the whole time.
//
//   bench_idle [--seconds N]

#include "bench/BenchSupport.h"
#include "bench/XSession.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

using namespace memvane;
using namespace memvane::bench;

namespace {

int run(int argc, char** argv)
{
    int seconds = intOption(argc, argv, "--seconds", 60);
    printMachine("bench_idle: memvane at rest with its port open, under Xvfb");
    XServer x;
    TempFolder radioFolder, appFolder;
    RadioOptions ro;
    ro.logFile = radioFolder.file("frames.log");
    RadioProcess radio(radioFolder, ro);
    installProgram(appFolder, radio.link());

    XWatcher watch(x.display());
    ProgramUnderTest app(appFolder, x.display());
    Clock::time_point tMap, tTitle;
    std::uint32_t win = watch.waitForMap(30'000, tMap);
    if (!win || !watch.waitForTitle(win, "Memvane Ver", 30'000, tTitle)) {
        std::cout << "the program did not come up\n";
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::string pty = app.openPty();
    std::string threadNames;
    for (const auto& [tid, t] : threadSwitches(app.pid()))
        threadNames += " " + t.name;
    std::cout << "program pid " << app.pid() << " holds " << (pty.empty() ? "no port" : pty)
              << " open (radio on " << radio.pty() << "); threads:" << threadNames << "\n";

    ProcCpu cpu0 = procCpu(app.pid()), radio0 = radio.cpu();
    auto sw0 = threadSwitches(app.pid());
    size_t frames0 = radio.loggedFrames();
    auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    double wall = msSince(start);
    ProcCpu cpu1 = procCpu(app.pid()), radio1 = radio.cpu();
    SwitchDelta sw = switchDelta(sw0, threadSwitches(app.pid()));

    long long ticks = cpu1.ticks - cpu0.ticks;
    printFigure("program CPU over " + fixed(wall / 1000.0, 1) + " s idle",
                std::to_string(ticks) + " ticks = " + fixed(cpu1.ms - cpu0.ms, 0) + " ms (" +
                    fixed(100.0 * (cpu1.ms - cpu0.ms) / wall, 3) + " % of one core)" +
                    (ticks == 0 ? "; no measurable CPU: met" : ""));
    auto names = [](const std::vector<std::string>& v) {
        std::string out;
        for (const auto& n : v)
            out += " " + n;
        return out.empty() ? std::string(" none") : out;
    };
    printFigure("time on a CPU of the threads alive throughout (schedstat)",
                fixed(sw.runNs / 1e6, 3) + " ms over " + std::to_string(sw.threads) + " threads");
    std::cout << "context switches of those threads: " << sw.voluntary << " voluntary, "
              << sw.involuntary << " involuntary (" << fixed(sw.voluntary / (wall / 1000.0), 2)
              << " wake-ups/s); threads started:" << names(sw.started)
              << "; threads ended:" << names(sw.ended) << "\n";
    for (const auto& w : sw.woke)
        std::cout << "  ran: " << w << "\n";
    std::cout << "frames the radio received meanwhile: " << radio.loggedFrames() - frames0 << "\n"
              << "memvane-radio CPU meanwhile: " << radio1.ticks - radio0.ticks << " ticks\n";
    watch.requestClose(win);
    app.process().wait(10'000);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return runBenchmark(run, argc, argv);
}
