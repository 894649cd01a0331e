// One exchange: "read operating frequency" (FE FE 58 E0 03 FD) through ccomportwrite, TComPort
// and ComPortIo against memvane-radio, N times, timed from the start of WriteStr to the decoded
// frequency text. The overhead is that time minus civdelay: the part the program adds to the
// fixed wait. A second series measures the radio's answer time as the program's port sees it
// (WriteStr to the complete reply in the receive queue, polling), which is what must fit inside
// civdelay.
//
//   bench_exchange [--count N] [--civdelay MS] [--radio-delay MS]

#include "bench/BenchSupport.h"
#include "bench/RadioLine.h"
#include "civ/Codec.h"
#include "civ/Exchange.h"
#include "core/Errors.h"
#include "serial/QtMainThreadWake.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

using namespace memvane;
using namespace memvane::bench;

namespace {

int run(int argc, char** argv)
{
    int count = intOption(argc, argv, "--count", 1000);
    int civdelay = intOption(argc, argv, "--civdelay", 45);
    int radioDelay = intOption(argc, argv, "--radio-delay", 5);
    QCoreApplication app(argc, argv);
    memvane::mainthread::InstallQtWake();
    printMachine("bench_exchange: one CI-V exchange against memvane-radio");

    TempFolder folder;
    RadioOptions ro;
    ro.delayMs = radioDelay;
    RadioProcess radio(folder, ro);
    RadioLine line(radio.link());
    ProgramState state;
    state.fillNameTables();
    state.civdelay = civdelay;
    state.memloc = "Mem 1";
    BenchUi ui;
    std::cout << "radio: memvane-radio --delay-ms " << radioDelay << " on " << radio.pty()
              << "; civdelay " << civdelay << " ms; " << count << " exchanges\n";

    // Series 1: the program's exchange.
    std::vector<double> overhead, whole;
    std::string freq;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        auto callStart = Clock::now();
        try {
            std::string data = runCommand("\x03", "03", line.io, state, ui).data;
            freq = decodeFrequency(data);
        } catch (const std::exception&) {
            ++failures;
        }
        auto decoded = Clock::now();
        line.io.finish();
        const ExchangeTiming& t = line.io.timings.back();
        overhead.push_back(msBetween(t.writeStart, decoded) - civdelay);
        whole.push_back(msBetween(callStart, decoded) - civdelay);
        // Between exchanges the program handles its events (the received-data handling queued
        // by the port's event thread runs here, as it does once per channel in a read).
        if (i % 16 == 15)
            ui.processEvents();
    }
    std::vector<double> clear, write, over, read;
    for (const auto& t : line.io.timings) {
        clear.push_back(msBetween(t.openStart, t.clearEnd));
        write.push_back(msBetween(t.writeStart, t.writeEnd));
        over.push_back(msBetween(t.writeStart, t.sleepEnd) - t.requestedSleepMs);
        read.push_back(msBetween(t.readStart, t.readEnd));
    }
    std::cout << "decoded frequency: " << freq << "; failed exchanges: " << failures
              << "; error lines: " << ui.errorLines.size() << "\n";
    printFigure("overhead above civdelay, WriteStr to decoded result", describe(statsOf(overhead)));
    printFigure("overhead above civdelay, whole ccomportwrite call (open check and purge too)",
                describe(statsOf(whole)));
    std::cout << "  ensureOpen + purge: " << describe(statsOf(clear)) << "\n"
              << "  WriteStr:           " << describe(statsOf(write)) << "\n"
              << "  wait ended late:    " << describe(statsOf(over))
              << " (deadline: start of WriteStr + civdelay)\n"
              << "  ReadStr:            " << describe(statsOf(read)) << "\n";

    // Series 2: the radio's answer time. Same frame; instead of the fixed wait, poll the
    // receive queue every 0.1 ms until the reply's end mark is there.
    std::string frame = std::string("\xFE\xFE\x58\xE0\x03\xFD", 6);
    std::vector<double> answer;
    int late = 0;
    for (int i = 0; i < count; ++i) {
        line.port.ClearBuffer(true, true);
        auto start = Clock::now();
        line.port.WriteStr(frame);
        std::string got;
        bool done = false;
        while (!done && msSince(start) < 1000) {
            std::string chunk;
            line.port.ReadStr(chunk, 200);
            got += chunk;
            std::string hex = toHexText(got);
            size_t reply = hex.find("FEFEE05803");
            done = reply != std::string::npos && hex.find("FD", reply) != std::string::npos;
            if (!done)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        double ms = msSince(start);
        answer.push_back(ms);
        if (ms > civdelay)
            ++late;
        if (i % 16 == 15)
            ui.processEvents();
    }
    printFigure("radio's answer time (WriteStr to complete reply, polled)",
                describe(statsOf(answer)));
    std::cout << "answers later than civdelay: " << late << " of " << count << "\n";
    ProcCpu radioCpu = radio.cpu();
    std::cout << "memvane-radio CPU time: " << fixed(radioCpu.ms, 0) << " ms\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return runBenchmark(run, argc, argv);
}
