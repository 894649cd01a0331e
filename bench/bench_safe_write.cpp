// "Write to Radio" of 20 rows with "Back up before writing" and "Verify after writing" beside
// the plain write, with the fixed wait and with the fast exchange, through TComPort, ComPortIo
// and writeChannels against memvane-radio in its own process (a fresh radio holding the same 99
// memories for each write). The backup reads the 20 memories first (16 exchanges each); the
// check reads each written memory back and stores its split/duplex code again (18 more), so a
// safe write sends 24 + 16 + 18 = 58 frames a row against 24 (plus one for a duplex offset).
//
//   bench_safe_write [--civdelay MS] [--radio-delay MS] [--runs N]

#include "bench/BenchSupport.h"
#include "bench/RadioLine.h"
#include "files/BackupFile.h"
#include "tests/support/Files.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>
#include <iostream>

using namespace memvane;
using namespace memvane::bench;

namespace {

struct Trial
{
    FullReadResult result;
    size_t frames = 0;
    size_t backupRows = 0;
};

Trial runTrial(int civdelay, int radioDelay, bool fast, bool safe,
               const std::vector<ChannelRow>& rows)
{
    TempFolder folder;
    RadioOptions ro = sampleRadio(folder, radioDelay);
    WriteOptions options;
    options.backup = options.verify = safe;
    std::string dir = folder.path().string() + "/";
    Trial t;
    options.saveBackup = [&](const std::vector<ChannelRow>& backup) {
        t.backupRows = backup.size();
        return saveNewBackup(dir, backup);
    };
    RadioProcess radio(folder, ro);
    {
        RadioLine line(radio.link());
        t.result = runWrite(line, civdelay, fast, rows, options);
    }
    t.frames = radio.frameLog().size();
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    int civdelay = 45, radioDelay = 5, runs = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--civdelay"))
            civdelay = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--radio-delay"))
            radioDelay = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--runs"))
            runs = std::atoi(argv[i + 1]);
    }
    QCoreApplication app(argc, argv);
    printMachine("bench_safe_write: Write to Radio of 20 rows, plain and with backup + verify");
    const std::vector<ChannelRow> rows = sampleRowsToWrite(20);
    bool ok = true;
    for (int run = 1; run <= runs; ++run) {
        std::cout << "run " << run << ": memvane-radio --delay-ms " << radioDelay
                  << " with 99 memories; civdelay " << civdelay << " ms\n";
        for (bool fast : {false, true}) {
            Trial plain = runTrial(civdelay, radioDelay, fast, false, rows);
            Trial safe = runTrial(civdelay, radioDelay, fast, true, rows);
            const std::string wait = fast ? "fast exchange" : "fixed wait";
            for (const auto& [name, t] : {std::pair{"plain", &plain}, std::pair{"safe", &safe}}) {
                const FullReadResult& r = t->result;
                printFigure(std::string("Write to Radio, 20 rows, ") + name + ", " + wait,
                            fixed(r.wallMs / 1000.0, 3) + " s, " + std::to_string(t->frames) +
                                " frames, \"" + r.label + "\"" +
                                (t->backupRows
                                     ? ", backup of " + std::to_string(t->backupRows) + " memories"
                                     : "") +
                                (r.failure.empty() ? "" : ", ended by: " + r.failure));
                ok = ok && r.failure.empty();
            }
            std::cout << "safe / plain (" << wait << "): x"
                      << fixed(safe.result.wallMs / plain.result.wallMs, 2) << "\n";
        }
    }
    return ok ? 0 : 1;
}
