// Fault soak of the radio operations: hundreds of full reads, re-reads and writes while the line
// fails at random, first in-process against the radio's model (exactly reproducible), then a
// smaller part through the program's serial component against memvane-radio's pseudo-terminal
// (silence, refusals, late answers, noise, a hang-up and reopen).
//
// What must hold after every operation:
//  - it ends: by itself, by the silent abort after a missing answer, or with a message box;
//  - the radio stored only into memories the operation meant to write (a reading stores only the
//    memory it reads, twice, and never changes its frequencies, modes or offset; a write stores
//    only the memories of its ticked rows). An NG to a memory selection (a blank memory's
//    answer, or one at random) still selects: the operation goes on with that memory. When the
//    radio refused to go back to memory mode before a reading's last store, that store saves the
//    VFOs, which hold the memory's own two settings, possibly in exchanged order;
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
        std::cout << "\n";
        if (faults.empty())
            return;
        std::cout << "[soak]   faults (per exchange):";
        for (const auto& [k, n] : faults)
            std::cout << " " << faultName(k) << " " << n;
        std::cout << "\n";
    }
};

// How an operation ended, with the message box's text when it showed one.
struct Ending
{
    Outcome outcome = Outcome::Completed;
    std::string message;
};

// Runs a read or write as the window does (a missing answer ends it silently, the program's
// own errors in a message box) and counts how it ended.
template <class F> Ending runOperation(Stats& stats, F&& operation)
{
    Ending ending;
    try {
        operation();
    } catch (const EAbort&) {
        ending.outcome = Outcome::Aborted;
    } catch (const AppError& e) {
        ending = {Outcome::Message, e.message()};
    }
    ++stats.outcomes[ending.outcome == Outcome::Completed ? "completed"
                     : ending.outcome == Outcome::Aborted ? "aborted (no answer)"
                                                          : "message box"];
    return ending;
}

// Ends the process when an operation outlives its guard: a hang must not pass as a slow test.
class HangGuard
{
public:
    HangGuard()
        : m_thread([this] {
              std::unique_lock lock(m_mutex);
              while (!m_stop) {
                  if (m_armed && Clock::now() > m_deadline) {
                      std::cerr << "[soak] HANG: " << m_what << " did not end within "
                                << kLimit.count() << " s\n";
                      std::abort();
                  }
                  m_changed.wait_for(lock, 100ms);
              }
          })
    {
    }
    ~HangGuard()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    void arm(std::string what)
    {
        std::lock_guard lock(m_mutex);
        m_what = std::move(what);
        m_deadline = Clock::now() + kLimit;
        m_armed = true;
    }
    void disarm()
    {
        std::lock_guard lock(m_mutex);
        m_armed = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kLimit{60};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false, m_armed = false;
    Clock::time_point m_deadline;
    std::string m_what;
    std::thread m_thread;
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
        const auto [outcome, message] = runOperation(stats, [&] {
            if (kind == Kind::FullRead)
                readAllChannels(ctx);
            else if (kind == Kind::Reread)
                rereadTickedChannels(ctx);
            else
                writeTickedChannels(ctx);
        });
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
        // A reading whose exchange 14 (back to memory mode) was refused and that still stored
        // afterwards: that store saved the VFOs.
        auto storedOutsideMemoryMode = [&](int memory) {
            for (int u = 1; u <= units; ++u) {
                if (!reading || target(u) != memory)
                    continue;
                int index = 0;
                bool refused14 = false;
                for (const auto& r : records) {
                    if (r.unit != u)
                        continue;
                    if (++index == 14)
                        refused14 = r.refused;
                    if (index > 14 && refused14 && r.storedInto)
                        return true;
                }
            }
            return false;
        };
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
                    const sim::Memory& a = *after[n];
                    const sim::Memory& b = *before[n];
                    const bool sides = a.receive == b.receive && a.transmit == b.transmit;
                    const bool exchanged = a.receive == b.transmit && a.transmit == b.receive;
                    EXPECT_TRUE(sides || (exchanged && storedOutsideMemoryMode(n)))
                        << "memory " << n << " was\n"
                        << describe(before[n]) << "is\n"
                        << describe(after[n]);
                    EXPECT_EQ(a.offsetHz, b.offsetHz) << "memory " << n;
                }
            }
        }

        // A reading that stored its memory with split on switches split off and stores it again,
        // whatever else was refused, unless memory to VFO, that split off or that store was.
        for (int u = 1; reading && u <= units; ++u) {
            if (u == units && outcome == Outcome::Aborted)
                break;
            bool splitOn = false, splitOnStored = false, excused = false;
            for (const auto& r : records) {
                if (r.unit != u)
                    continue;
                if (r.frame == "FEFE58E00F01FD")
                    splitOn = !r.refused;
                if (r.frame == "FEFE58E009FD" && splitOn && !splitOnStored)
                    splitOnStored = r.storedInto.has_value();
                else if (splitOnStored && r.refused &&
                         (r.frame == "FEFE58E00AFD" || r.frame == "FEFE58E00F00FD" ||
                          r.frame == "FEFE58E009FD"))
                    excused = true;
            }
            const int n = target(u);
            if (splitOnStored && !excused && after[n]) {
                EXPECT_FALSE(after[n]->split) << "memory " << n << " left with split on";
            }
        }

        // Rows. An NG to the memory selection is no failure: the radio selected it anyway.
        auto unitRefused = [&](int unit) {
            for (const auto& r : records)
                if (r.unit == unit && r.refused && !isSelectMemory(r.frame))
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
                        clean = clean && (r.fault == Fault::None || r.fault == Fault::Noise ||
                                          (r.fault == Fault::Refuse && isSelectMemory(r.frame)));
                    }
                // A duplex row sets its offset first: one exchange more.
                if (!clean || exchangesOfRow < 24 || exchangesOfRow > 25)
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
                std::string split = row.texts[5];
                // A duplex row keeps its transmit frequency: as a duplex memory with the
                // distance as its offset, or as a split memory where an offset cannot say it.
                const long long shift = static_cast<long long>(want.transmit.hz) -
                                        static_cast<long long>(want.receive.hz);
                const bool duplexRow = split == "Duplex --" || split == "Duplex +";
                const long long distance = split == "Duplex --" ? -shift : shift;
                const bool asDuplex =
                    duplexRow && distance >= 0 && distance % 100 == 0 && distance < 100'000'000;
                if (duplexRow && !asDuplex)
                    split = "Split On";
                // The memory keeps its offset, unless an earlier row of this write set it.
                bool earlier = false;
                for (int e = 1; e < k; ++e)
                    earlier = earlier || target(e) == n;
                if (before[n] && !earlier)
                    want.offsetHz = before[n]->offsetHz;
                if (asDuplex)
                    want.offsetHz = static_cast<std::uint32_t>(distance);
                want.split = split == "Split On";
                want.duplex = split == "Duplex --"  ? sim::Duplex::Minus
                              : split == "Duplex +" ? sim::Duplex::Plus
                                                    : sim::Duplex::Off;
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
    HangGuard guard;
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
        guard.arm("operation " + std::to_string(i));
        bool ok = runOne(kind, rate, i);
        guard.disarm();
        if (!ok)
            break;
        // Now and then the user changes memories at the radio's front panel.
        if (chance(rng, 0.05))
            fillRadio(radio, rng);
    }
    stats.print("in-process");
}

// ---------------------------------------------------------------------------------------------
// Through the program's serial component against memvane-radio's pseudo-terminal, with the
// radio's own faults switched on for one operation at a time.

namespace {

// Transceive is no fault: the radio's broadcasts share the line with the answers.
enum class LineFault { None, Silent, Late, Garbage, Refuse, HangUp, Transceive };

const char* lineFaultName(LineFault f)
{
    switch (f) {
    case LineFault::None:
        return "none";
    case LineFault::Silent:
        return "silent";
    case LineFault::Late:
        return "late";
    case LineFault::Garbage:
        return "garbage";
    case LineFault::Refuse:
        return "refuse";
    case LineFault::HangUp:
        return "hang-up";
    case LineFault::Transceive:
        return "transceive";
    }
    return "?";
}

// Three lines per failed exchange: the command, what went wrong, an empty line. Checks their
// form; returns the commands, and whether the last failure was a missing answer.
std::pair<std::vector<std::string>, bool> checkErrorLines(const std::vector<std::string>& lines,
                                                          const std::set<std::string>& labels)
{
    std::vector<std::string> commands;
    bool lastNoReply = false;
    EXPECT_EQ(lines.size() % 3, 0u);
    for (size_t i = 0; i + 2 < lines.size(); i += 3) {
        const std::string& first = lines[i];
        size_t cut = first.find(" Command sent to radio was ");
        if (cut == std::string::npos) {
            ADD_FAILURE() << "not a command line: " << first;
            continue;
        }
        std::string label = first.substr(0, cut);
        std::string command = first.substr(cut + 27);
        EXPECT_TRUE(labels.count(label)) << "label of " << first;
        EXPECT_EQ(command.rfind("FEFE58E0", 0), 0u) << first;
        EXPECT_EQ(command.substr(command.size() - 2), "FD") << first;
        commands.push_back(command);
        std::string suffix = "FB";
        for (const char* data : {"03", "04", "0C"})
            if (command == std::string("FEFE58E0") + data + "FD")
                suffix = data;
        const std::string noReply =
            label + " No return from Radio!! - Check ComPort and CI-V settings.";
        const std::string refused = label + " Incorrect return from Radio!! - Expected FEFEE058" +
                                    suffix + " but got FEFEE058FA Command failed.";
        EXPECT_TRUE(lines[i + 1] == noReply || lines[i + 1] == refused) << lines[i + 1];
        EXPECT_EQ(lines[i + 2], "");
        lastNoReply = lines[i + 1] == noReply;
        if (lastNoReply) {
            EXPECT_EQ(i + 3, lines.size()) << "lines after a missing answer";
        }
    }
    return {commands, lastNoReply};
}

} // namespace

TEST(PtySoak, ReadsAndWritesThroughThePortUnderRandomFaults)
{
    std::mt19937_64 rng(soakSeed() + 1);
    std::mt19937_64 fastRng(soakSeed() + 2);
    TempDir dir;
    sim::PtyRadioOptions options;
    options.delayMs = 0;
    options.linkPath = dir.file("radio");
    sim::PtyRadio radio(options);
    radio.withModel([&](sim::RadioModel& m) {
        fillRadio(m, rng);
        return 0;
    });

    TComPort port;
    port.SetPort(options.linkPath);
    port.SetBaudRate(br19200);
    port.Open();
    ComPortIo io(port);
    ProgramState state;
    state.fillNameTables();
    // Short, with room for the radio's thread to be scheduled late on a busy machine.
    state.civdelay = 30;
    FakeUi ui;
    ChannelList list;
    RadioContext ctx{state, ui, io, list};

    std::atomic<int> unit{0};
    std::mutex storesMutex;
    std::vector<std::pair<int, int>> stores; // memory, unit
    radio.setMemoryWriteCallback([&] {
        int memory = radio.withModel([](sim::RadioModel& m) { return m.selectedMemory(); });
        std::lock_guard lock(storesMutex);
        stores.emplace_back(memory, unit.load());
    });

    HangGuard guard;
    Stats stats;
    std::map<LineFault, int> faults;
    std::map<std::string, int> messages;
    constexpr int kOperations = 64;
    bool hungUpOnce = false;
    for (int op = 1; op <= kOperations && !::testing::Test::HasFailure(); ++op) {
        const bool reading = chance(rng, 0.5);
        // At least one hang-up, in the middle of the run.
        LineFault fault = op == kOperations / 2 && !hungUpOnce
                              ? LineFault::HangUp
                              : static_cast<LineFault>(pick(rng, 0, 6));
        ++faults[fault];
        ++stats.ops[reading ? "re-read" : "write"];
        // Half the operations read each reply as soon as it is complete; same checks.
        state.fastExchange = fastRng() % 2 == 0;
        ++stats.ops[state.fastExchange ? "with the fast exchange" : "with the fixed wait"];

        std::vector<size_t> ticked;
        if (reading) {
            std::vector<ChannelRow> rows;
            for (int n = 1; n <= 99; ++n)
                rows.push_back({false, blankTexts(n)});
            list.replaceAll(rows);
            for (int i = pick(rng, 1, 3); i > 0; --i)
                list.setWrite(static_cast<size_t>(pick(rng, 0, 98)), true);
        } else {
            std::vector<ChannelRow> rows;
            for (int i = pick(rng, 1, 2); i > 0; --i)
                rows.push_back(randomWriteRow(rng));
            list.replaceAll(rows);
        }
        for (size_t i = 0; i < list.size(); ++i)
            if (list.row(i).write)
                ticked.push_back(i);
        const std::vector<ChannelRow> rowsBefore = list.rows();
        auto target = [&](int u) {
            size_t index = ticked.at(static_cast<size_t>(u - 1));
            return reading ? static_cast<int>(index) + 1 : rowMemory(rowsBefore[index]);
        };
        std::set<std::string> labels;
        if (reading) {
            for (size_t k = 1; k <= ticked.size(); ++k)
                labels.insert(locationText(target(static_cast<int>(k))));
        } else {
            labels.insert(state.memloc);
        }

        switch (fault) {
        case LineFault::None:
            break;
        case LineFault::Silent:
            radio.setSilent(true);
            break;
        case LineFault::Late:
            radio.setLateMs(pick(rng, 40, 150));
            break;
        case LineFault::Garbage:
            radio.setGarbage(true);
            break;
        case LineFault::Refuse: {
            static const char* const prefixes[] = {"08", "0800", "0700", "0701", "0F01", "0F00",
                                                   "09", "0A",   "03",   "0C",   "04",   "05",
                                                   "06", "0F10", "0F11", "0F12"};
            sim::Refusal r;
            r.prefix = sim::fromHex(prefixes[pick(rng, 0, std::size(prefixes) - 1)]);
            r.memory = chance(rng, 0.5) ? target(1) : 0;
            r.count = chance(rng, 0.5) ? 1 : -1;
            radio.refuse(r);
            break;
        }
        case LineFault::HangUp:
            radio.hangUpAfter(static_cast<size_t>(pick(rng, 1, 30)), true);
            break;
        case LineFault::Transceive:
            radio.setTransceive(true);
            break;
        }

        const Memories before =
            radio.withModel([](sim::RadioModel& m) { return snapshotMemories(m); });
        radio.clearFrameLog();
        {
            std::lock_guard lock(storesMutex);
            stores.clear();
        }
        ui = FakeUi{};
        unit = 0;
        ui.onProcessEvents = [&](int call) {
            unit = call;
            mainthread::Drain();
        };
        const std::string what = std::string("operation ") + std::to_string(op) + " (" +
                                 (reading ? "re-read" : "write") + ", " + lineFaultName(fault) +
                                 ")";
        SCOPED_TRACE(what);
        guard.arm(what);
        const auto [outcome, message] = runOperation(stats, [&] {
            if (reading)
                rereadTickedChannels(ctx);
            else
                writeTickedChannels(ctx);
        });
        guard.disarm();

        radio.setSilent(false);
        radio.setLateMs(0);
        radio.setGarbage(false);
        radio.clearRefusals();
        radio.hangUpAfter(0);
        radio.setTransceive(false);
        if (outcome == Outcome::Message)
            ++messages[message];
        if (fault == LineFault::HangUp)
            hungUpOnce = hungUpOnce || outcome != Outcome::Completed;
        std::vector<std::string> frames = radio.frameLog();
        stats.exchanges += static_cast<int>(frames.size());
        const Memories after =
            radio.withModel([](sim::RadioModel& m) { return snapshotMemories(m); });

        // How it ended, and what the error list says about it.
        auto [commands, lastNoReply] = checkErrorLines(ui.errorLines, labels);
        EXPECT_EQ(outcome == Outcome::Aborted, lastNoReply) << message;
        EXPECT_EQ(ui.errorsEnabled, !ui.errorLines.empty());
        if (outcome == Outcome::Message) {
            // A dead line is the port's error; a refused frequency or mode read leaves nothing
            // to convert.
            bool portError = message.rfind("COM Port Error: ", 0) == 0;
            EXPECT_TRUE(portError ? fault == LineFault::HangUp
                                  : reading && fault == LineFault::Refuse)
                << message;
        }
        if (fault != LineFault::HangUp) {
            for (const auto& c : commands)
                EXPECT_NE(std::find(frames.begin(), frames.end(), c), frames.end())
                    << "an error line names a command the radio never received: " << c;
        }

        // Stores only into the memory of the channel or row being worked on.
        std::set<int> targets;
        for (size_t k = 1; k <= ticked.size(); ++k)
            targets.insert(target(static_cast<int>(k)));
        {
            std::lock_guard lock(storesMutex);
            stats.stores += static_cast<int>(stores.size());
            for (auto [memory, u] : stores) {
                EXPECT_GE(u, 1) << "a store before the first channel";
                if (u >= 1) {
                    EXPECT_EQ(memory, target(u)) << "a memory the program did not mean to write";
                }
            }
        }
        for (int n = sim::kFirstMemory; n <= sim::kLastMemory; ++n) {
            if (!targets.count(n)) {
                EXPECT_EQ(describe(after[n]), describe(before[n])) << "memory " << n;
            } else if (reading && after[n] && before[n]) {
                EXPECT_EQ(after[n]->receive, before[n]->receive) << "memory " << n;
                EXPECT_EQ(after[n]->transmit, before[n]->transmit) << "memory " << n;
                EXPECT_EQ(after[n]->offsetHz, before[n]->offsetHz) << "memory " << n;
            }
        }

        // A clean operation shows the radio's memories as they are.
        const bool clean = outcome == Outcome::Completed && ui.errorLines.empty() &&
                           (fault == LineFault::None || fault == LineFault::Garbage ||
                            fault == LineFault::Transceive);
        if (clean && reading) {
            for (size_t k = 1; k <= ticked.size(); ++k) {
                int n = target(static_cast<int>(k));
                ASSERT_TRUE(before[n]) << "a blank memory read without a failure: " << n;
                std::vector<std::string> want = rowTexts(n, *before[n]);
                if (want[5] == kNoRule)
                    want[5] = list.row(static_cast<size_t>(n - 1)).texts.at(5);
                EXPECT_EQ(list.row(static_cast<size_t>(n - 1)).texts, want);
            }
        }
        if (reading)
            stats.channelsRead += static_cast<int>(ticked.size());
        else
            stats.rowsWritten += static_cast<int>(ticked.size());

        if (fault == LineFault::HangUp) {
            // The user closes the port and opens it again (the setup dialog's OK): the link now
            // leads to the radio's new pty.
            guard.arm("closing and reopening the port after a hang-up");
            try {
                port.Close();
            } catch (const AppError& e) {
                ADD_FAILURE() << "closing a hung-up port: " << e.message();
            }
            bool opened = false;
            for (int attempt = 0; attempt < 100 && !opened; ++attempt) {
                try {
                    port.Open();
                    opened = true;
                } catch (const AppError&) {
                    std::this_thread::sleep_for(50ms);
                }
            }
            guard.disarm();
            ASSERT_TRUE(opened) << "the port did not open again on " << options.linkPath;
        }
        if (::testing::Test::HasFailure()) {
            std::ostringstream log;
            for (const auto& f : frames)
                log << "  " << f << "\n";
            ADD_FAILURE() << "error lines:\n"
                          <<
                [&] {
                    std::string s;
                    for (const auto& l : ui.errorLines)
                        s += "  " + l + "\n";
                    return s;
                }() << "frames the radio received:\n"
                          << log.str();
        }
    }
    EXPECT_TRUE(hungUpOnce) << "no hang-up happened in the middle of an operation";
    stats.print("pty");
    std::cout << "[soak]   line faults (one per operation):";
    for (const auto& [k, n] : faults)
        std::cout << " " << lineFaultName(k) << " " << n;
    std::cout << "\n";
    for (const auto& [text, n] : messages)
        std::cout << "[soak]   message box " << n << " x: " << text << "\n";
    port.Close();
}
