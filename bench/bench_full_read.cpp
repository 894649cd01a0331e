// "Read Radio Memory" of memories 1..99 with the real civdelay of 45 ms, through TComPort,
// ComPortIo and readAllChannels, against memvane-radio in its own process holding 99 filled
// memories. The floor is 99 x 16 x 45 ms = 71.28 s of fixed waits; the target is an overhead
// under 0.5 %. Also reports the CPU time this process used during the read (getrusage: the
// main thread and the port's event thread; the radio is another process) and where the time
// above the floor went.
//
//   bench_full_read [--civdelay MS] [--radio-delay MS] [--runs N] [--baseline SLEEPS] [--fast]
//                   [--line-rate BAUD]
//
// --line-rate: the radio paces its line as a real one of BAUD bit/s would (memvane-radio
// --line-rate), and each operation's time is set beside its wire limit: every byte of its
// commands and answers at ten bits each, plus the radio's delay per answered exchange. Target
// for the fast exchange: within 10 % of that limit.
//
// --fast: per run, a default read and a read with the fast exchange, each against a fresh
// radio holding the same memories, then the same for "Write to Radio" of 20 rows; each pair is
// compared (rows, error lines, label, the radio's frame log, and for the writes the memories
// the radio holds afterwards). Target for the fast read: under 12 s.
//
// Before the read, SLEEPS (default 200) sleeps of civdelay show how late this machine wakes a
// sleeping thread right now, the part of the overhead that is not the program's: plain sleeps
// with the kernel's default timer slack of 50 us, and the program's own wait (an absolute
// deadline with 1 ns of slack).

#include "bench/BenchSupport.h"
#include "bench/RadioLine.h"
#include "civ/LineWait.h"
#include "tests/support/Files.h"
#include "serial/QtMainThreadWake.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

using namespace memvane;
using namespace memvane::bench;

namespace {

// One operation against a fresh radio holding the sample memories.
struct Trial
{
    FullReadResult result;
    std::vector<std::string> frames; // the radio's frame log
    std::string memories;            // the radio's memories file afterwards
};

struct Line
{
    int radioDelay = 5;
    int rate = 0; // bit/s; 0: the pty's own pace
};

// The time of an operation beside what the line allows for its exchanges.
void printWireLimit(const std::string& what, const FullReadResult& r, const Line& line, bool target)
{
    if (line.rate <= 0)
        return;
    WireLimit w = wireLimit(r, line.rate, line.radioDelay);
    double ratio = r.wallMs / w.ms;
    printFigure(what + ", wire limit at " + std::to_string(line.rate) + " baud",
                fixed(w.ms / 1000.0, 3) + " s (" + std::to_string(w.bytes) + " bytes, " +
                    std::to_string(w.answered) + " answers x " + std::to_string(line.radioDelay) +
                    " ms); time / limit " + fixed(ratio, 3) +
                    (target ? std::string(" (target within 10 %: ") +
                                  (r.failure.empty() && ratio <= 1.1 ? "met" : "MISSED") + ")"
                            : std::string()));
}

Trial runTrial(int civdelay, const Line& line, bool fast, const std::vector<ChannelRow>* writeRows)
{
    TempFolder folder;
    RadioOptions ro = sampleRadio(folder, line.radioDelay);
    ro.lineRate = line.rate;
    Trial t;
    {
        RadioProcess radio(folder, ro);
        {
            RadioLine line(radio.link());
            t.result = writeRows ? runWrite(line, civdelay, fast, *writeRows)
                                 : runFullRead(line, civdelay, fast);
        }
        // The radio logs a frame when it has read it; every frame was answered, so all are in.
        t.frames = radio.frameLog();
    } // the radio saves its memories when it ends
    t.memories = test::slurp(ro.memoriesFile);
    return t;
}

// Prints one fixed/fast pair and what differs between them; true when nothing does.
bool comparePair(const std::string& what, const Trial& fixedTrial, const Trial& fastTrial,
                 double targetMs, const Line& line)
{
    const FullReadResult& a = fixedTrial.result;
    const FullReadResult& b = fastTrial.result;
    std::vector<std::string> diffs = compareOutcomes(a, b);
    if (fixedTrial.frames != fastTrial.frames)
        diffs.push_back("frame logs differ: " + std::to_string(fixedTrial.frames.size()) +
                        " frames against " + std::to_string(fastTrial.frames.size()));
    if (fixedTrial.memories != fastTrial.memories)
        diffs.push_back("the radio's memories differ afterwards");
    printFigure(what + ", fixed wait", fixed(a.wallMs / 1000.0, 3) + " s, " +
                                           std::to_string(fixedTrial.frames.size()) + " frames, " +
                                           std::to_string(a.errorLines.size()) + " error lines" +
                                           (a.failure.empty() ? "" : ", ended by: " + a.failure));
    std::string target;
    if (targetMs > 0)
        target = std::string("; target < ") + fixed(targetMs / 1000.0, 0) +
                 " s: " + (b.wallMs < targetMs ? "met" : "MISSED");
    printFigure(what + ", fast exchange", fixed(b.wallMs / 1000.0, 3) + " s (x" +
                                              fixed(a.wallMs / b.wallMs, 1) + " faster" + target +
                                              "), CPU " + fixed(b.cpu.totalMs(), 0) + " ms");
    printWireLimit(what + ", fixed wait", a, line, false);
    printWireLimit(what + ", fast exchange", b, line, true);
    std::cout << what << ": rows, error lines, label, frame log and the radio's memories "
              << (diffs.empty() ? "identical" : "DIFFER") << "\n";
    for (size_t i = 0; i < diffs.size() && i < 8; ++i)
        std::cout << "  " << diffs[i] << "\n";
    printFastBreakdown(b);
    return diffs.empty();
}

int runFast(int civdelay, const Line& line, int runs)
{
    printMachine("bench_full_read --fast: the fast exchange against the fixed wait");
    const std::vector<ChannelRow> rows = sampleRowsToWrite(20);
    bool same = true;
    for (int run = 1; run <= runs; ++run) {
        std::cout << "run " << run << ": memvane-radio --delay-ms " << line.radioDelay
                  << (line.rate > 0 ? " --line-rate " + std::to_string(line.rate) : "")
                  << " with 99 memories; civdelay " << civdelay << " ms\n";
        Trial fixedRead = runTrial(civdelay, line, false, nullptr);
        Trial fastRead = runTrial(civdelay, line, true, nullptr);
        std::vector<std::string> wrong = compareWithSample(fastRead.result.rows);
        std::cout << "fast read: " << 99 - wrong.size() << " of 99 rows as the radio holds them\n";
        same = comparePair("Read Radio Memory, 99 memories", fixedRead, fastRead,
                           line.rate > 0 ? 0 : 12'000, line) &&
               wrong.empty() && same;
        Trial fixedWrite = runTrial(civdelay, line, false, &rows);
        Trial fastWrite = runTrial(civdelay, line, true, &rows);
        // A read stores every memory back as it was, so this says the writes took effect.
        std::cout << "the radio's memories after the write differ from those after the read: "
                  << (fastWrite.memories != fastRead.memories ? "yes" : "NO") << "\n";
        same = comparePair("Write to Radio, " + std::to_string(rows.size()) + " rows", fixedWrite,
                           fastWrite, 0, line) &&
               same;
    }
    std::cout << "overall: the fast exchange " << (same ? "matched" : "DID NOT MATCH")
              << " the fixed wait in every run\n";
    return same ? 0 : 1;
}

int run(int argc, char** argv)
{
    int civdelay = 45, runs = 1, baseline = 200;
    Line line;
    bool fast = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--fast")) {
            fast = true;
            continue;
        }
        if (i + 1 >= argc)
            break;
        if (!std::strcmp(argv[i], "--civdelay"))
            civdelay = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--radio-delay"))
            line.radioDelay = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--line-rate"))
            line.rate = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--runs"))
            runs = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--baseline"))
            baseline = std::atoi(argv[i + 1]);
        ++i;
    }
    QCoreApplication app(argc, argv);
    memvane::mainthread::InstallQtWake();
    if (fast)
        return runFast(civdelay, line, runs);
    printMachine("bench_full_read: Read Radio Memory, 99 memories, against memvane-radio");

    // The machine's own share: how late a plain sleep of civdelay wakes up right now, with no
    // serial port or radio involved. A busy machine wakes the read's sleeps late too.
    if (baseline > 0) {
        std::vector<double> plain, fine;
        for (int i = 0; i < baseline; ++i) {
            auto start = Clock::now();
            std::this_thread::sleep_for(std::chrono::milliseconds(civdelay));
            plain.push_back(msSince(start) - civdelay);
            start = Clock::now();
            linewait::sleepUntil(start + std::chrono::milliseconds(civdelay));
            fine.push_back(msSince(start) - civdelay);
        }
        for (auto [name, late] :
             {std::pair{"plain sleeps", &plain}, std::pair{"the program's wait", &fine}}) {
            Stats s = statsOf(*late);
            printFigure(std::string("baseline: ") + std::to_string(civdelay) + " ms, " + name +
                            " wake late by",
                        describe(s) + "; x 1584 = " + fixed(s.mean * 1584, 0) + " ms (" +
                            fixed(100.0 * s.mean / civdelay, 3) + " %)");
        }
    }

    for (int run = 1; run <= runs; ++run) {
        TempFolder folder;
        RadioOptions ro = sampleRadio(folder, line.radioDelay);
        ro.lineRate = line.rate;
        RadioProcess radio(folder, ro);
        RadioLine port(radio.link());
        std::cout << "run " << run << ": memvane-radio --delay-ms " << line.radioDelay
                  << (line.rate > 0 ? " --line-rate " + std::to_string(line.rate) : "")
                  << " with 99 memories; civdelay " << civdelay << " ms\n";
        ProcCpu radio0 = radio.cpu();

        FullReadResult r = runFullRead(port, civdelay);

        ProcCpu radio1 = radio.cpu();
        double floor = 99.0 * 16 * civdelay;
        double overhead = r.wallMs - floor;
        std::vector<std::string> diffs = compareWithSample(r.rows);
        std::cout << "result: " << r.rows.size() << " rows, label \"" << r.label << "\", "
                  << r.errorLines.size() << " error lines, " << diffs.size()
                  << " rows differing from the radio's memories, radio logged "
                  << radio.loggedFrames() << " frames (1584 expected)"
                  << (r.failure.empty() ? "" : "; ended by: " + r.failure) << "\n";
        for (size_t i = 0; i < diffs.size() && i < 5; ++i)
            std::cout << "  " << diffs[i] << "\n";
        for (size_t i = 0; i < r.errorLines.size() && i < 6; ++i)
            std::cout << "  error list: " << r.errorLines[i] << "\n";
        // A read that ended early has no meaningful overhead: the floor assumes 1584 waits.
        bool complete = r.failure.empty() && r.timings.size() == 1584;
        printFigure("full read time", fixed(r.wallMs / 1000.0, 3) + " s");
        printWireLimit("full read", r, line, false);
        printFigure("overhead over the " + fixed(floor / 1000.0, 2) + " s floor",
                    fixed(overhead, 1) + " ms = " + fixed(100.0 * overhead / floor, 3) +
                        " % (target < 0.5 %: " +
                        (!complete                ? "no figure, the read did not complete"
                         : overhead < floor / 200 ? "met"
                                                  : "MISSED") +
                        ")");
        printFigure("CPU time of the program during the read",
                    fixed(r.cpu.totalMs(), 0) + " ms (user " + fixed(r.cpu.userMs, 0) +
                        ", system " + fixed(r.cpu.systemMs, 0) +
                        ") = " + fixed(100.0 * r.cpu.totalMs() / r.wallMs, 3) + " % of one core");
        std::cout << "CPU time of memvane-radio during the read: "
                  << fixed(radio1.ms - radio0.ms, 0) << " ms\n";
        printBreakdown(r, civdelay);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return runBenchmark(run, argc, argv);
}
