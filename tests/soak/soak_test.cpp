// Fault soak of the radio operations: hundreds of full reads, re-reads and writes while the line
// fails at random, first in-process against the radio's model (exactly reproducible), then a
// smaller part through the program's serial component against memvane-radio's pseudo-terminal
// (silence, refusals, late answers, noise, a hang-up and reopen).
//
// What must hold after every operation:
//  - it ends: by itself, by the silent abort after a missing answer, or with a message box;
//  - the radio stored only into memories the operation meant to write (a reading stores only the
//    memory it reads, twice, and never changes its frequencies, modes or offset; a write stores
//    only the memories of its ticked rows);
//  - every failed exchange is in the error list as three lines: the command, then "No return
//    from Radio!! ..." or "Incorrect return from Radio!! - Expected ... but got ... Command
//    failed.", then an empty line; and nothing else is;
//  - the rows read show what the radio holds, or are blank where an exchange was refused.
//
// The seed is printed; MEMVANE_SOAK_SEED=<n> repeats a run.
#include "channels/ChannelReader.h"
#include "channels/ChannelWriter.h"
#include "civ/ComPortIo.h"
#include "core/Errors.h"
#include "serial/CPort.h"
#include "serial/MainThreadQueue.h"
#include "sim/MemoryFile.h"
#include "sim/PtyRadio.h"
#include "tests/soak/ChannelExpectations.h"
#include "tests/soak/FaultPort.h"
#include "tests/support/FakeUi.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

using namespace memvane;
using namespace memvane::test;
using namespace std::chrono_literals;

namespace {

std::uint64_t soakSeed()
{
    const char* text = std::getenv("MEMVANE_SOAK_SEED");
    std::uint64_t seed = text && *text ? std::strtoull(text, nullptr, 10) : 20261209;
    std::cout << "[soak] seed " << seed << " (MEMVANE_SOAK_SEED=" << seed << " repeats it)\n";
    return seed;
}

using Memories = std::array<std::optional<sim::Memory>, sim::kLastMemory + 1>;

template <class Radio> Memories snapshotMemories(const Radio& radio)
{
    Memories out;
    for (int n = sim::kFirstMemory; n <= sim::kLastMemory; ++n)
        out[n] = radio.memory(n);
    return out;
}

int pick(std::mt19937_64& rng, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

bool chance(std::mt19937_64& rng, double p)
{
    return std::uniform_real_distribution<double>(0, 1)(rng) < p;
}

// A channel whose two frequencies one of the reading's split/duplex rules covers.
sim::Memory randomMemory(std::mt19937_64& rng)
{
    auto hz = [&](double lowMhz, double highMhz) {
        auto lo = static_cast<std::uint64_t>(lowMhz * 1e6 / 500);
        auto hi = static_cast<std::uint64_t>(highMhz * 1e6 / 500);
        return std::uniform_int_distribution<std::uint64_t>(lo, hi)(rng) * 500;
    };
    sim::Memory m;
    std::uint64_t tx = 0, rx = 0;
    switch (pick(rng, 0, 5)) {
    case 0: // simplex, anywhere
        tx = rx = hz(0.1, 1300);
        break;
    case 1: // 2 m repeater
        tx = hz(144.0, 145.4);
        rx = tx + 600'000;
        break;
    case 2: // 70 cm repeater
        tx = hz(430.0, 436.4);
        rx = tx + 7'600'000;
        break;
    case 3: // 6 m repeater
        tx = hz(50.0, 51.5);
        rx = tx + 500'000;
        break;
    case 4: // HF split
        tx = hz(1.8, 29.7);
        rx = hz(1.8, 29.7);
        break;
    default: // 4 m split
        tx = hz(70.0, 70.5);
        rx = hz(70.0, 70.5);
        break;
    }
    m.receive = {rx, static_cast<std::uint8_t>(pick(rng, 0, 6)),
                 static_cast<std::uint8_t>(pick(rng, 1, 3))};
    m.transmit = {tx, static_cast<std::uint8_t>(pick(rng, 0, 6)),
                  static_cast<std::uint8_t>(pick(rng, 1, 3))};
    m.split = chance(rng, 0.3);
    m.duplex = m.split ? sim::Duplex::Off : static_cast<sim::Duplex>(pick(rng, 0, 2));
    m.offsetHz = static_cast<std::uint32_t>(pick(rng, 0, 99'999)) * 100;
    return m;
}

template <class Model> void fillRadio(Model& radio, std::mt19937_64& rng)
{
    for (int n = sim::kFirstMemory; n <= sim::kLastMemory; ++n)
        radio.setMemory(n, chance(rng, 0.7) ? std::optional(randomMemory(rng)) : std::nullopt);
}

// A row for "Write to Radio": any location, including the special ones, with texts as the edit
// panel or a channel file would give them.
ChannelRow randomWriteRow(std::mt19937_64& rng)
{
    static const char* const modes[] = {"LSB", "USB", "AM", "CW", "RTTY", "FM", "Wide FM"};
    static const char* const filters[] = {"Normal", "Narrow", "Wide"};
    static const char* const splits[] = {"Split Off", "Split On", "Duplex Off", "Duplex --",
                                         "Duplex +"};
    int memory = pick(rng, 1, 107);
    std::string label = "Mem " + sim::memoryName(memory);
    if (memory >= 100 && chance(rng, 0.5))
        label =
            "Mem " + std::string(1, static_cast<char>(std::tolower(label[4]))) + label.substr(5);
    sim::Memory m = randomMemory(rng);
    return {true,
            {label, freqText(m.transmit.hz), freqText(m.receive.hz), modes[pick(rng, 0, 6)],
             filters[pick(rng, 0, 2)], splits[pick(rng, 0, 4)], "", ""}};
}

int rowMemory(const ChannelRow& row)
{
    return sim::memoryNumber(row.texts.at(0).substr(4)).value_or(-1);
}

std::uint64_t mhzToHz(const std::string& text)
{
    return sim::parseMhz(text).value_or(0);
}

std::string describe(const std::optional<sim::Memory>& m)
{
    return m ? sim::formatMemories({{1, *m}}) : std::string("(blank)\n");
}

bool isNoReply(Fault f)
{
    return f == Fault::Silent || f == Fault::Late || f == Fault::NoiseOnly;
}

bool isSelectMemory(const std::string& frame)
{
    return frame.size() == 16 && frame.rfind("FEFE58E008", 0) == 0;
}

// The error lines one exchange must leave, and whether it ends the operation.
std::vector<std::string> linesFor(const ExchangeRecord& r, bool reading)
{
    const std::string command = r.memloc + " Command sent to radio was " + r.frame;
    if (isNoReply(r.fault))
        return {command, r.memloc + " No return from Radio!! - Check ComPort and CI-V settings.",
                ""};
    // Reading takes any answer to the memory selection, a refusal too.
    if (!r.refused || (reading && isSelectMemory(r.frame)))
        return {};
    std::string suffix = "FB";
    for (const char* data : {"03", "04", "0C"})
        if (r.frame == std::string("FEFE58E0") + data + "FD")
            suffix = data;
    return {command,
            r.memloc + " Incorrect return from Radio!! - Expected FEFEE058" + suffix +
                " but got FEFEE058FA Command failed.",
            ""};
}

enum class Outcome { Completed, Aborted, Message };

std::string dump(const std::vector<ExchangeRecord>& records)
{
    std::ostringstream out;
    for (const auto& r : records) {
        out << "  unit " << r.unit << " " << r.memloc << " " << r.frame << " " << faultName(r.fault)
            << (r.refused ? " NG" : "");
        if (r.storedInto)
            out << " stored into " << *r.storedInto;
        out << "\n";
    }
    return out.str();
}

struct Stats
{
    std::map<std::string, int> ops, outcomes;
    std::map<Fault, int> faults;
    int channelsRead = 0, rowsWritten = 0, exchanges = 0, stores = 0;
    void print(const char* part) const
    {
        std::cout << "[soak] " << part << ": " << exchanges << " exchanges, " << channelsRead
                  << " channels read, " << rowsWritten << " rows written, " << stores
                  << " memory stores\n[soak]   operations:";
        for (const auto& [k, n] : ops)
            std::cout << " " << k << " " << n;
        std::cout << "\n[soak]   outcomes:";
        for (const auto& [k, n] : outcomes)
            std::cout << " " << k << " " << n;
        std::cout << "\n[soak]   faults:";
        for (const auto& [k, n] : faults)
            std::cout << " " << faultName(k) << " " << n;
        std::cout << "\n";
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// In-process: the radio's model behind FaultPort.

class InProcessSoak : public ::testing::Test
{
protected:
    void SetUp() override
    {
        state.fillNameTables();
        state.civdelay = 45; // never slept: FaultPort answers at once
    }

    enum class Kind { FullRead, Reread, Write };

    // One operation with its checks. Returns false after a failed check.
    bool runOne(Kind kind, double rate, int number)
    {
        const char* name = kind == Kind::FullRead ? "full read"
                           : kind == Kind::Reread ? "re-read"
                                                  : "write";
        ++stats.ops[name];
        if (kind == Kind::Reread && list.size() < 99) {
            // As if a channel file of all 99 memories had been loaded.
            std::vector<ChannelRow> rows;
            for (int n = 1; n <= 99; ++n)
                rows.push_back({false, blankTexts(n)});
            list.replaceAll(rows);
        }
        if (kind == Kind::Reread) {
            list.setAllWrite(false);
            for (int i = pick(rng, 1, 6); i > 0; --i)
                list.setWrite(static_cast<size_t>(pick(rng, 0, 98)), true);
        }
        if (kind == Kind::Write) {
            std::vector<ChannelRow> rows;
            for (int i = pick(rng, 1, 5); i > 0; --i) {
                rows.push_back(randomWriteRow(rng));
                if (chance(rng, 0.3))
                    rows.push_back({false, blankTexts(pick(rng, 1, 99))});
            }
            list.replaceAll(rows);
        }
        std::vector<size_t> ticked;
        for (size_t i = 0; i < list.size(); ++i)
            if (list.row(i).write)
                ticked.push_back(i);
        const std::vector<ChannelRow> rowsBefore = list.rows();
        const Memories before = snapshotMemories(radio);

        port.setFaultRate(rate);
        port.startOperation();
        ui = FakeUi{};
        ui.onProcessEvents = [&](int call) { port.setUnit(call); };
        Outcome outcome = Outcome::Completed;
        std::string message;
        try {
            if (kind == Kind::FullRead)
                readAllChannels(ctx);
            else if (kind == Kind::Reread)
                rereadTickedChannels(ctx);
            else
                writeTickedChannels(ctx);
        } catch (const EAbort&) {
            outcome = Outcome::Aborted;
        } catch (const AppError& e) {
            outcome = Outcome::Message;
            message = e.message();
        }
        ++stats.outcomes[outcome == Outcome::Completed ? "completed"
                         : outcome == Outcome::Aborted ? "aborted (no answer)"
                                                       : "message box"];
        const auto& records = port.records;
        stats.exchanges += static_cast<int>(records.size());
        for (const auto& r : records) {
            ++stats.faults[r.fault];
            stats.stores += r.storedInto.has_value();
        }
        const Memories after = snapshotMemories(radio);

        SCOPED_TRACE(std::string("operation ") + std::to_string(number) + " (" + name +
                     ", fault rate " + std::to_string(rate) + ")");
        const bool reading = kind != Kind::Write;
        const int units = records.empty() ? 0 : records.back().unit;

        // The memory that unit k (one channel or row) may store into.
        auto target = [&](int unit) {
            if (kind == Kind::FullRead)
                return unit;
            size_t index = ticked.at(static_cast<size_t>(unit - 1));
            return kind == Kind::Reread ? static_cast<int>(index) + 1
                                        : rowMemory(rowsBefore[index]);
        };

        // Error list: exactly the lines the failed exchanges call for, in order.
        std::vector<std::string> expectedLines;
        bool noReply = false;
        for (size_t i = 0; i < records.size(); ++i) {
            auto lines = linesFor(records[i], reading);
            expectedLines.insert(expectedLines.end(), lines.begin(), lines.end());
            if (isNoReply(records[i].fault)) {
                noReply = true;
                EXPECT_EQ(i + 1, records.size()) << "exchanges went on after a missing answer";
            }
        }
        EXPECT_EQ(ui.errorLines, expectedLines);
        EXPECT_EQ(ui.errorsEnabled, !expectedLines.empty());

        // How it ended.
        if (noReply) {
            EXPECT_EQ(outcome, Outcome::Aborted) << message;
        } else if (outcome != Outcome::Completed) {
            // Only a refused frequency or mode read leaves nothing to convert.
            EXPECT_EQ(outcome, Outcome::Message);
            EXPECT_TRUE(reading);
            bool refusedData = false;
            int reads03 = 0;
            for (const auto& r : records) {
                if (r.unit != units)
                    continue;
                reads03 += r.frame == "FEFE58E003FD";
                if (r.refused &&
                    (r.frame == "FEFE58E004FD" || (r.frame == "FEFE58E003FD" && reads03 == 2)))
                    refusedData = true;
            }
            EXPECT_TRUE(refusedData) << message;
        } else {
            const std::string count = std::to_string(kind == Kind::FullRead ? 99 : ticked.size());
            EXPECT_EQ(ui.label,
                      count + (reading ? " Memory Locations Read " : " Memory Locations Writen "));
        }

        // Stores: only into the memory of the channel or row being worked on.
        for (const auto& r : records)
            if (r.storedInto) {
                EXPECT_EQ(*r.storedInto, target(r.unit))
                    << "a memory the program did not mean to write; frame " << r.frame;
            }
        std::set<int> targets;
        for (int u = 1; u <= units; ++u)
            targets.insert(target(u));
        for (int n = sim::kFirstMemory; n <= sim::kLastMemory; ++n) {
            if (!targets.count(n)) {
                EXPECT_EQ(describe(after[n]), describe(before[n])) << "memory " << n;
            } else if (reading) {
                // Reading stores a memory as it found it, apart from split and duplex.
                EXPECT_EQ(after[n].has_value(), before[n].has_value()) << "memory " << n;
                if (after[n] && before[n]) {
                    EXPECT_EQ(after[n]->receive, before[n]->receive) << "memory " << n;
                    EXPECT_EQ(after[n]->transmit, before[n]->transmit) << "memory " << n;
                    EXPECT_EQ(after[n]->offsetHz, before[n]->offsetHz) << "memory " << n;
                }
            }
        }

        // Rows.
        auto unitRefused = [&](int unit) {
            for (const auto& r : records)
                if (r.unit == unit && r.refused)
                    return true;
            return false;
        };
        const int done = outcome == Outcome::Completed ? units : units - 1;
        if (kind == Kind::FullRead) {
            EXPECT_EQ(list.size(), static_cast<size_t>(std::max(done, 0)));
            for (int k = 1; k <= done && k <= static_cast<int>(list.size()); ++k) {
                ++stats.channelsRead;
                std::vector<std::string> want =
                    unitRefused(k) || !before[k] ? blankTexts(k) : rowTexts(k, *before[k]);
                expectTexts(list.row(static_cast<size_t>(k - 1)).texts, want, k);
                EXPECT_FALSE(list.row(static_cast<size_t>(k - 1)).write);
            }
        } else if (kind == Kind::Reread) {
            std::vector<ChannelRow> want = rowsBefore;
            for (int k = 1; k <= done; ++k) {
                ++stats.channelsRead;
                int n = target(k);
                want[static_cast<size_t>(n - 1)].texts =
                    unitRefused(k) || !before[n] ? blankTexts(n) : rowTexts(n, *before[n]);
            }
            expectRows(want);
        } else {
            expectRows(rowsBefore);
            // A row written without a single failure is in the radio as the row says.
            for (int k = 1; k <= done; ++k) {
                ++stats.rowsWritten;
                bool clean = !unitRefused(k);
                int exchangesOfRow = 0;
                for (const auto& r : records)
                    if (r.unit == k) {
                        ++exchangesOfRow;
                        clean = clean && (r.fault == Fault::None || r.fault == Fault::Noise);
                    }
                if (!clean || exchangesOfRow != 24)
                    continue;
                const ChannelRow& row = rowsBefore[ticked[static_cast<size_t>(k - 1)]];
                int n = rowMemory(row);
                // A later row may have gone to the same memory.
                bool overwritten = false;
                for (int later = k + 1; later <= units; ++later)
                    overwritten = overwritten || target(later) == n;
                if (overwritten)
                    continue;
                if (!after[n]) {
                    ADD_FAILURE() << "memory " << n << " blank after it was written";
                    continue;
                }
                std::uint8_t mode = static_cast<std::uint8_t>(
                    std::find(std::begin(kModes), std::end(kModes), row.texts[3]) -
                    std::begin(kModes));
                std::uint8_t filter = static_cast<std::uint8_t>(
                    std::find(std::begin(kFilters), std::end(kFilters), row.texts[4]) -
                    std::begin(kFilters) + 1);
                sim::Memory want = *after[n];
                want.receive = {mhzToHz(row.texts[2]), mode, filter};
                want.transmit = {mhzToHz(row.texts[1]), mode, filter};
                const std::string& split = row.texts[5];
                want.split = split == "Split On";
                want.duplex = split == "Duplex --"  ? sim::Duplex::Minus
                              : split == "Duplex +" ? sim::Duplex::Plus
                                                    : sim::Duplex::Off;
                if (before[n])
                    want.offsetHz = before[n]->offsetHz;
                EXPECT_EQ(describe(after[n]), describe(want)) << row.texts[0];
            }
        }
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "exchanges of the failing operation:\n" << dump(records);
            return false;
        }
        return true;
    }

    void expectRows(const std::vector<ChannelRow>& want)
    {
        ASSERT_EQ(list.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(list.row(i).write, want[i].write) << "row " << i + 1;
            expectTexts(list.row(i).texts, want[i].texts, i + 1);
        }
    }

    // A memory that a failed write left with two frequencies no split/duplex rule covers may
    // show any split/duplex text.
    static void expectTexts(const std::vector<std::string>& got, std::vector<std::string> want,
                            size_t row)
    {
        if (want.size() > 5 && want[5] == kNoRule && got.size() > 5)
            want[5] = got[5];
        EXPECT_EQ(got, want) << "row " << row;
    }

    static constexpr const char* kModes[] = {"LSB", "USB", "AM", "CW", "RTTY", "FM", "Wide FM"};
    static constexpr const char* kFilters[] = {"Normal", "Narrow", "Wide"};

    std::mt19937_64 rng{soakSeed()};
    sim::RadioModel radio;
    ProgramState state;
    FakeUi ui;
    ChannelList list;
    FaultPort port{radio, state, rng};
    RadioContext ctx{state, ui, port, list};
    Stats stats;
};

TEST_F(InProcessSoak, ReadsAndWritesUnderRandomFaults)
{
    fillRadio(radio, rng);
    constexpr int kOperations = 3000;
    for (int i = 1; i <= kOperations; ++i) {
        int roll = pick(rng, 0, 9);
        Kind kind = roll == 0 ? Kind::FullRead : roll <= 4 ? Kind::Reread : Kind::Write;
        // A full read is 1584 exchanges: a low rate lets some of them get far.
        static const double fullReadRates[] = {0, 0.0005, 0.002};
        static const double rates[] = {0, 0.01, 0.03, 0.08};
        double rate =
            kind == Kind::FullRead ? fullReadRates[pick(rng, 0, 2)] : rates[pick(rng, 0, 3)];
        if (!runOne(kind, rate, i))
            break;
        // Now and then the user changes memories at the radio's front panel.
        if (chance(rng, 0.05))
            fillRadio(radio, rng);
    }
    stats.print("in-process");
}
