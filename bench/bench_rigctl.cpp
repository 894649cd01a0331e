// Side by side against one memvane-radio holding the same 99 memories, in one run:
//   1. Debian's rigctl (hamlib, model 3011 IC-706MKIIG, -s 19200 -C cache_timeout=0) switches
//      to memory mode ("V MEM") and, for each memory, selects it ("E n") and reads its
//      frequency ("f") and mode ("m");
//   2. Memvane's "Read Radio Memory" (readAllChannels through TComPort, civdelay 45 ms);
//   3. the same with the fast exchange (the reply read as soon as it is complete).
// Reports both times, the frames each sent (the radio's log), and what each read returned
// compared with the memories the radio holds.
//
//   bench_rigctl [--radio-delay MS] [--rigctl PATH]

#include "bench/BenchSupport.h"
#include "bench/RadioLine.h"
#include "tests/support/Files.h"
#include "serial/QtMainThreadWake.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

using namespace memvane;
using namespace memvane::bench;

namespace {

struct RigctlMemory
{
    std::string freq, mode, passband, error;
};

// rigctl's answers as it prints them for commands read from standard input: the echoed
// command, then its result lines ("f 145500000", "m FM" and the passband on the next line).
std::map<int, RigctlMemory> parseRigctl(const std::string& out)
{
    std::map<int, RigctlMemory> result;
    std::istringstream in(out);
    int current = 0;
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.rfind("E ", 0) == 0) {
            current = std::atoi(l.c_str() + 2);
        } else if (l.rfind("f ", 0) == 0 && current) {
            result[current].freq = l.substr(2);
        } else if (l.rfind("m ", 0) == 0 && current) {
            result[current].mode = l.substr(2);
            if (i + 1 < lines.size())
                result[current].passband = lines[i + 1];
        } else if (current && l.find("error") != std::string::npos) {
            result[current].error = l;
        }
    }
    return result;
}

std::string hzText(const std::string& mhzText)
{
    // "0145.500000" -> "145500000"
    std::string digits;
    for (char c : mhzText)
        if (c != '.')
            digits += c;
    size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

} // namespace

namespace {

int run(int argc, char** argv)
{
    int radioDelay = 5;
    std::string rigctl = "/usr/bin/rigctl";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--radio-delay"))
            radioDelay = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rigctl"))
            rigctl = argv[i + 1];
    }
    QCoreApplication app(argc, argv);
    memvane::mainthread::InstallQtWake();
    printMachine("bench_rigctl: rigctl and Memvane reading the same simulated radio");
    std::cout << "rigctl: " << capture(rigctl + " --version 2>&1");

    TempFolder folder;
    RadioProcess radio(folder, sampleRadio(folder, radioDelay));
    std::cout << "radio: memvane-radio --delay-ms " << radioDelay << " with 99 memories, on "
              << radio.link() << "\n";

    // 1. rigctl, one process for the whole read.
    std::string commands = folder.file("rigctl-commands.txt");
    {
        std::ofstream out(commands);
        out << "V MEM\n";
        for (int n = 1; n <= 99; ++n)
            out << "E " << n << "\nf\nm\n";
    }
    std::string rigOut = folder.file("rigctl.out"), rigErr = folder.file("rigctl.err");
    std::vector<std::string> rigArgs = {
        rigctl, "-m", "3011", "-r", radio.link(), "-s", "19200", "-C", "cache_timeout=0", "-"};
    std::cout << "rigctl command: rigctl -m 3011 -r " << radio.link()
              << " -s 19200 -C cache_timeout=0 - < (V MEM, then E n / f / m for n = 1..99)\n";
    size_t framesBefore = radio.loggedFrames();
    int status = 0;
    double rigMs = 0;
    {
        ChildProcess child(rigArgs, rigOut, {}, commands, rigErr);
        child.wait(600'000, &status);
        rigMs = msSince(child.started());
    }
    size_t rigFrames = radio.loggedFrames() - framesBefore;
    std::map<int, RigctlMemory> rig = parseRigctl(test::slurp(rigOut));

    int rigRight = 0, rigWrong = 0;
    std::vector<std::string> rigDiffs;
    for (int n = 1; n <= 99; ++n) {
        std::vector<std::string> want = expectedRowTexts(n); // tx, rx, mode, filter, split, offset
        const RigctlMemory& m = rig[n];
        std::string wantMode = want[2] == "Wide FM" ? "WFM" : want[2];
        if (m.freq == hzText(want[1]) && m.mode == wantMode) {
            ++rigRight;
        } else {
            ++rigWrong;
            rigDiffs.push_back("memory " + std::to_string(n) + ": got " + m.freq + " " + m.mode +
                               " " + m.error + ", radio holds " + want[1] + " " + want[2]);
        }
    }
    printFigure("rigctl: time", fixed(rigMs / 1000.0, 3) + " s for 99 memories (" +
                                    fixed(rigMs / 99.0, 1) + " ms each), exit status " +
                                    std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1));
    std::cout << "rigctl: " << rigFrames << " frames sent (" << fixed(rigFrames / 99.0, 2)
              << " per memory, start-up included)\n"
              << "rigctl: returned per memory the receive frequency (Hz), mode and passband;"
              << " right for " << rigRight << " of 99\n";
    for (int n = 1; n <= 9; ++n) {
        std::vector<std::string> want = expectedRowTexts(n);
        std::cout << "  memory " << n << ": " << rig[n].freq << " Hz, " << rig[n].mode << ", "
                  << rig[n].passband << " Hz passband   (radio: receive " << want[1]
                  << ", transmit " << want[0] << ", " << want[2] << " " << want[3] << ", offset "
                  << want[5] << ")\n";
    }
    for (size_t i = 0; i < rigDiffs.size() && i < 5; ++i)
        std::cout << "  differs: " << rigDiffs[i] << "\n";

    // 2. Memvane's full read on the same radio.
    framesBefore = radio.loggedFrames();
    FullReadResult r;
    {
        RadioLine line(radio.link());
        r = runFullRead(line, 45);
    }
    size_t memFrames = radio.loggedFrames() - framesBefore;
    std::vector<std::string> diffs = compareWithSample(r.rows);
    printFigure("Memvane: time", fixed(r.wallMs / 1000.0, 3) + " s for 99 memories (" +
                                     fixed(r.wallMs / 99.0, 1) + " ms each)");
    std::cout << "Memvane: " << memFrames << " frames sent (" << fixed(memFrames / 99.0, 2)
              << " per memory), " << r.errorLines.size() << " error lines, label \"" << r.label
              << "\"" << (r.failure.empty() ? "" : ", ended by: " + r.failure) << "\n"
              << "Memvane: returned per memory both frequencies (VFO A and B), mode, filter,"
              << " split/duplex text and offset; right for " << 99 - diffs.size() << " of 99\n";
    for (int n = 1; n <= 9; ++n) {
        if (static_cast<size_t>(n) > r.rows.size())
            break;
        std::cout << "  ";
        for (const auto& t : r.rows[n - 1].texts)
            std::cout << t << ",";
        std::cout << "\n";
    }
    for (size_t i = 0; i < diffs.size() && i < 5; ++i)
        std::cout << "  differs: " << diffs[i] << "\n";
    std::cout << "ratio Memvane / rigctl: " << fixed(r.wallMs / rigMs, 1) << "\n";

    // 3. Memvane with the fast exchange, same radio.
    framesBefore = radio.loggedFrames();
    FullReadResult f;
    {
        RadioLine line(radio.link());
        f = runFullRead(line, 45, true);
    }
    size_t fastFrames = radio.loggedFrames() - framesBefore;
    std::vector<std::string> fastDiffs = compareWithSample(f.rows);
    printFigure("Memvane, fast exchange: time", fixed(f.wallMs / 1000.0, 3) +
                                                    " s for 99 memories (" +
                                                    fixed(f.wallMs / 99.0, 1) + " ms each)");
    std::cout << "Memvane, fast exchange: " << fastFrames << " frames sent, " << f.errorLines.size()
              << " error lines" << (f.failure.empty() ? "" : ", ended by: " + f.failure)
              << "; right for " << 99 - fastDiffs.size() << " of 99; rows "
              << (f.rows == r.rows ? "identical to" : "DIFFERENT from") << " the fixed wait's\n";
    for (size_t i = 0; i < fastDiffs.size() && i < 5; ++i)
        std::cout << "  differs: " << fastDiffs[i] << "\n";
    std::cout << "ratio Memvane fast / rigctl: " << fixed(f.wallMs / rigMs, 2)
              << "; per frame: rigctl "
              << fixed(rigMs / static_cast<double>(std::max<size_t>(rigFrames, 1)), 2)
              << " ms, Memvane fast "
              << fixed(f.wallMs / static_cast<double>(std::max<size_t>(fastFrames, 1)), 2)
              << " ms\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return runBenchmark(run, argc, argv);
}
