// Start-up and footprint of the real program, measured from outside: memvane under a private
// Xvfb with its port on memvane-radio. For each run, the time from the fork of the process to
// (a) its main window being mapped and (b) the window's title "Memvane Ver: ..." being set,
// which the deferred initialisation does once the event loop runs (settings loaded, port
// open). In the last run "Read Radio Memory" is clicked (xdotool) and the read is followed in
// the radio's frame log; then the resident memory (VmRSS, and the peak VmHWM) is read from
// /proc, and the window is closed as a window manager would.
//
//   bench_startup [--runs N] [--no-read]

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
    int runs = 5;
    bool read = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--no-read"))
            read = false;
    }
    printMachine("bench_startup: memvane start-up and resident memory, under Xvfb");
    XServer x;
    TempFolder radioFolder, appFolder;
    RadioProcess radio(radioFolder, sampleRadio(radioFolder));
    installProgram(appFolder, radio.link());
    std::cout << "X display " << x.display() << "; program copied to " << appFolder.path().string()
              << " with ComPort.ini naming " << radio.link() << "\n";

    std::vector<double> mapped, ready;
    for (int run = 1; run <= runs; ++run) {
        XWatcher watch(x.display());
        ProgramUnderTest app(appFolder, x.display());
        Clock::time_point tMap, tTitle;
        std::uint32_t win = watch.waitForMap(30'000, tMap);
        if (!win) {
            std::cout << "run " << run << ": no window within 30 s\n";
            return 1;
        }
        bool titled = watch.waitForTitle(win, "Memvane Ver", 30'000, tTitle);
        mapped.push_back(msBetween(app.started(), tMap));
        ready.push_back(titled ? msBetween(app.started(), tTitle) : -1);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        long long rss = procStatusKb(app.pid(), "VmRSS");
        std::cout << "run " << run << ": window mapped after " << fixed(mapped.back(), 1)
                  << " ms, title set after " << fixed(ready.back(), 1) << " ms (\""
                  << watch.title(win) << "\"), port " << app.openPty() << ", VmRSS " << rss
                  << " kB\n";

        if (run == runs && read) {
            size_t frames0 = radio.loggedFrames();
            ProcCpu cpu0 = procCpu(app.pid());
            // "Read Radio Memory": 17,81 150x25 in the left panel, below the menu bar.
            auto click = Clock::now();
            std::system(("DISPLAY=" + x.display() + " xdotool mousemove --window " +
                         std::to_string(win) + " 92 114 click 1")
                            .c_str());
            size_t frames = 0;
            Clock::time_point last = click;
            while (msSince(click) < 200'000) {
                size_t now = radio.loggedFrames() - frames0;
                if (now != frames) {
                    frames = now;
                    last = Clock::now();
                }
                if (frames >= 1584)
                    break;
                if (frames == 0 && msSince(click) > 3000)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            ProcCpu cpu1 = procCpu(app.pid());
            printFigure("full read in the program: frames seen by the radio",
                        std::to_string(frames) + " of 1584; click to last frame + 45 ms = " +
                            fixed((msBetween(click, last) + 45) / 1000.0, 2) + " s; CPU " +
                            fixed(cpu1.ms - cpu0.ms, 0) + " ms");
            printFigure("resident memory after a full read",
                        "VmRSS " + std::to_string(procStatusKb(app.pid(), "VmRSS")) +
                            " kB, peak VmHWM " + std::to_string(procStatusKb(app.pid(), "VmHWM")) +
                            " kB");
        }

        auto closeStart = Clock::now();
        watch.requestClose(win);
        int status = 0;
        bool ended = app.process().wait(10'000, &status);
        std::cout << "  closed by WM_DELETE_WINDOW: "
                  << (ended ? "exited after " + fixed(msSince(closeStart), 1) + " ms, status " +
                                  std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1)
                            : std::string("still running after 10 s"))
                  << "\n";
    }
    printFigure("start-up to window mapped", describe(statsOf(mapped)));
    printFigure("start-up to title set (initialised, port open)", describe(statsOf(ready)));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return runBenchmark(run, argc, argv);
}
