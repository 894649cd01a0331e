#include "bench/RadioLine.h"

#include "channels/ChannelReader.h"
#include "channels/ChannelWriter.h"
#include "channels/RadioContext.h"
#include "civ/Codec.h"
#include "civ/ComPortIo.h"
#include "core/Errors.h"

#include <algorithm>
#include <iostream>

namespace memvane::bench {

void TimingPortIo::ensureOpen()
{
    finish();
    m_current.openStart = Clock::now();
    m_io.ensureOpen();
}

void TimingPortIo::finish()
{
    if (m_written)
        timings.push_back(m_current);
    m_written = false;
    m_current = {};
}

void TimingPortIo::clearBuffers()
{
    m_io.clearBuffers();
    m_current.clearEnd = Clock::now();
}

int TimingPortIo::write(const std::string& bytes)
{
    m_current.writeStart = Clock::now();
    m_current.written = static_cast<int>(bytes.size());
    int n = m_io.write(bytes);
    m_current.writeEnd = Clock::now();
    m_written = true;
    return n;
}

void TimingPortIo::sleepMs(int ms)
{
    m_current.requestedSleepMs = ms;
    m_current.sleepStart = Clock::now();
    m_io.sleepMs(ms);
    m_current.sleepEnd = Clock::now();
}

InputWait TimingPortIo::waitForInput(int ms)
{
    InputWait w = m_io.waitForInput(ms);
    ++m_current.waits;
    m_current.waitTimedOut = m_current.waitTimedOut || w == InputWait::TimedOut;
    return w;
}

std::string TimingPortIo::read(int maxCount)
{
    auto start = Clock::now();
    if (m_current.reads++ == 0)
        m_current.readStart = start;
    std::string bytes = m_io.read(maxCount);
    m_current.readEnd = Clock::now();
    m_current.reply += bytes;
    return bytes;
}

WireLimit wireLimit(const FullReadResult& r, int lineRate, int radioDelayMs)
{
    WireLimit w;
    for (const ExchangeTiming& t : r.timings) {
        // What was read holds the echo, that is the command, and then the answer.
        w.bytes += static_cast<long>(std::max(t.reply.size(), static_cast<size_t>(t.written)));
        if (t.reply.size() > static_cast<size_t>(t.written))
            ++w.answered;
    }
    w.ms = w.bytes * 10'000.0 / lineRate + w.answered * static_cast<double>(radioDelayMs);
    return w;
}

RadioLine::RadioLine(const std::string& path) : port("ComPort1")
{
    monitorState.fillNameTables();
    // The main window's design values (Unit1's loadComPortDesign), on the given device.
    port.BeginLoading();
    applyDesignValues(port);
    port.SetPort(path);
    port.OnRxChar = [this](TCustomComPort* sender, int) {
        auto start = Clock::now();
        monitorTransceive(*sender, monitorState);
        ++rxCharHandlings;
        rxCharMs += msSince(start);
    };
    port.SetConnected(true);
    port.Loaded();
}

RadioLine::~RadioLine()
{
    port.OnRxChar = nullptr;
    try {
        port.Close();
    } catch (const std::exception&) {
    }
}

namespace {

FullReadResult runOperation(RadioLine& line, int civdelay, bool fast,
                            const std::vector<ChannelRow>& rows, void (*operation)(RadioContext&))
{
    ProgramState state;
    state.fillNameTables();
    state.civdelay = civdelay;
    state.fastExchange = fast;
    ChannelList list;
    for (const ChannelRow& row : rows)
        list.append(row);
    BenchUi ui;
    line.io.finish();
    line.io.timings.clear();
    line.rxCharHandlings = 0;
    line.rxCharMs = 0;
    RadioContext ctx{state, ui, line.io, list};

    FullReadResult r;
    CpuTime cpu0 = processCpu();
    auto start = Clock::now();
    try {
        operation(ctx);
    } catch (const EAbort&) {
        r.failure = "no reply: the read ended silently";
    } catch (const AppError& e) {
        r.failure = e.message();
    } catch (const std::exception& e) {
        r.failure = e.what();
    }
    r.wallMs = msSince(start);
    line.io.finish();
    CpuTime cpu1 = processCpu();
    r.cpu = {cpu1.userMs - cpu0.userMs, cpu1.systemMs - cpu0.systemMs};
    r.rows = list.rows();
    r.errorLines = ui.errorLines;
    r.label = ui.label;
    r.timings = line.io.timings;
    r.processEventsMs = ui.processEventsMs;
    r.rxCharHandlings = line.rxCharHandlings;
    r.rxCharMs = line.rxCharMs;
    return r;
}

} // namespace

FullReadResult runFullRead(RadioLine& line, int civdelay, bool fast)
{
    return runOperation(line, civdelay, fast, {}, [](RadioContext& ctx) { readAllChannels(ctx); });
}

FullReadResult runWrite(RadioLine& line, int civdelay, bool fast,
                        const std::vector<ChannelRow>& rows)
{
    return runOperation(line, civdelay, fast, rows,
                        [](RadioContext& ctx) { writeTickedChannels(ctx); });
}

std::vector<ChannelRow> sampleRowsToWrite(int count)
{
    std::vector<ChannelRow> rows;
    for (int n = 1; n <= count; ++n) {
        std::vector<std::string> t = expectedRowTexts(99 - count + n);
        rows.push_back(ChannelRow{true, {"Mem " + std::to_string(n), t[0], t[1], t[2], t[3],
                                         t[4], "", t[5]}});
    }
    return rows;
}

std::vector<std::string> compareOutcomes(const FullReadResult& a, const FullReadResult& b)
{
    std::vector<std::string> diffs;
    if (a.rows.size() != b.rows.size())
        diffs.push_back(std::to_string(a.rows.size()) + " rows against " +
                        std::to_string(b.rows.size()));
    for (size_t i = 0; i < a.rows.size() && i < b.rows.size(); ++i) {
        if (a.rows[i] == b.rows[i])
            continue;
        std::string line = "row " + std::to_string(i + 1) + ":";
        for (const auto& t : a.rows[i].texts)
            line += " [" + t + "]";
        line += " against";
        for (const auto& t : b.rows[i].texts)
            line += " [" + t + "]";
        diffs.push_back(line);
    }
    if (a.errorLines != b.errorLines)
        diffs.push_back(std::to_string(a.errorLines.size()) + " error lines against " +
                        std::to_string(b.errorLines.size()) + ", or different texts");
    if (a.label != b.label)
        diffs.push_back("label \"" + a.label + "\" against \"" + b.label + "\"");
    if (a.failure != b.failure)
        diffs.push_back("ended by \"" + a.failure + "\" against \"" + b.failure + "\"");
    return diffs;
}

void printFastBreakdown(const FullReadResult& r)
{
    std::vector<double> reply, write, clear, between;
    int timedOut = 0;
    double waits = 0, reads = 0;
    for (size_t i = 0; i < r.timings.size(); ++i) {
        const ExchangeTiming& t = r.timings[i];
        clear.push_back(msBetween(t.openStart, t.clearEnd));
        write.push_back(msBetween(t.writeStart, t.writeEnd));
        reply.push_back(msBetween(t.writeEnd, t.readEnd));
        timedOut += t.waitTimedOut ? 1 : 0;
        waits += t.waits;
        reads += t.reads;
        if (i + 1 < r.timings.size())
            between.push_back(msBetween(t.readEnd, r.timings[i + 1].openStart));
    }
    const double n = static_cast<double>(std::max<size_t>(r.timings.size(), 1));
    std::cout << "per exchange (" << r.timings.size() << " exchanges, " << fixed(waits / n, 2)
              << " waits and " << fixed(reads / n, 2) << " reads each on average, " << timedOut
              << " waited the whole civdelay):\n"
              << "  ensureOpen + purge:       " << describe(statsOf(clear)) << "\n"
              << "  WriteStr:                 " << describe(statsOf(write)) << "\n"
              << "  write to settled reply:   " << describe(statsOf(reply)) << "\n"
              << "  between exchanges:        " << describe(statsOf(between)) << "\n"
              << "  ComPort1RxChar:           " << r.rxCharHandlings << " calls\n";
}

std::vector<std::string> compareWithSample(const std::vector<ChannelRow>& rows)
{
    std::vector<std::string> diffs;
    if (rows.size() != 99)
        diffs.push_back(std::to_string(rows.size()) + " rows instead of 99");
    for (size_t i = 0; i < rows.size() && i < 99; ++i) {
        int n = static_cast<int>(i) + 1;
        std::vector<std::string> want = expectedRowTexts(n);
        const auto& t = rows[i].texts;
        std::vector<std::string> got;
        if (t.size() == 8)
            got = {t[1], t[2], t[3], t[4], t[5], t[7]};
        if (t.size() != 8 || t[0] != "Mem " + std::to_string(n) || got != want) {
            std::string line = "Mem " + std::to_string(n) + ":";
            for (const auto& s : t)
                line += " [" + s + "]";
            diffs.push_back(line);
        }
    }
    return diffs;
}

void printBreakdown(const FullReadResult& r, int civdelay)
{
    if (!r.failure.empty() && !r.timings.empty()) {
        // What the exchange that ended the read saw, and when.
        const ExchangeTiming& t = r.timings.back();
        std::cout << "last exchange: WriteStr " << fixed(msBetween(t.writeStart, t.writeEnd))
                  << " ms, slept " << fixed(msBetween(t.sleepStart, t.sleepEnd))
                  << " ms, read " << t.reply.size() << " bytes: " << toHexText(t.reply)
                  << "\n";
    }
    // The wait's deadline is civdelay after the start of the write, so WriteStr happens inside
    // the wait; what the wait adds is how late it ends after that deadline.
    std::vector<double> clear, write, overshoot, read, between;
    for (size_t i = 0; i < r.timings.size(); ++i) {
        const ExchangeTiming& t = r.timings[i];
        clear.push_back(msBetween(t.openStart, t.clearEnd));
        write.push_back(msBetween(t.writeStart, t.writeEnd));
        overshoot.push_back(msBetween(t.writeStart, t.sleepEnd) - t.requestedSleepMs);
        read.push_back(msBetween(t.readStart, t.readEnd));
        if (i + 1 < r.timings.size())
            between.push_back(msBetween(t.readEnd, r.timings[i + 1].openStart));
    }
    Stats sClear = statsOf(clear), sWrite = statsOf(write), sOver = statsOf(overshoot),
          sRead = statsOf(read), sBetween = statsOf(between), sEvents = statsOf(r.processEventsMs);
    double floor = static_cast<double>(r.timings.size()) * civdelay;
    std::cout << "per exchange (" << r.timings.size() << " exchanges):\n"
              << "  ensureOpen + purge:  " << describe(sClear) << "\n"
              << "  WriteStr:            " << describe(sWrite) << "   (inside the wait)\n"
              << "  wait ended late:     " << describe(sOver)
              << "   (after write start + civdelay)\n"
              << "  ReadStr:             " << describe(sRead) << "\n"
              << "  between exchanges:   " << describe(sBetween)
              << "   (decoding, row texts, status label and, once per channel, the event"
                 " handling below)\n"
              << "per channel (" << sEvents.count << " event handlings):\n"
              << "  processEvents:       " << describe(sEvents) << "\n"
              << "    of which ComPort1RxChar: " << r.rxCharHandlings << " calls, "
              << fixed(r.rxCharMs) << " ms\n"
              << "where the overhead went (ms, summed over the read):\n"
              << "  ensureOpen + purge   " << fixed(sClear.sum, 1) << "\n"
              << "  wait ended late      " << fixed(sOver.sum, 1) << "\n"
              << "  ReadStr              " << fixed(sRead.sum, 1) << "\n"
              << "  processEvents        " << fixed(sEvents.sum, 1) << "\n"
              << "  the rest between     " << fixed(sBetween.sum - sEvents.sum, 1) << "\n"
              << "  total above floor    " << fixed(r.wallMs - floor, 1) << " (floor "
              << fixed(floor, 0) << " ms)\n";

    // What the read costs when nothing else takes the CPU: every step at its median. The
    // difference to the measured total is time spent waiting for a CPU (long tails above).
    double typical = static_cast<double>(r.timings.size()) *
                         (sClear.median + sOver.median + sRead.median + sBetween.median) +
                     static_cast<double>(sEvents.count) * sEvents.median;
    printFigure("overhead with every step at its median (an uncontended machine)",
                fixed(typical, 1) + " ms = " + fixed(100.0 * typical / floor, 3) + " %");

    // The same by the exchange's place in the channel's sixteen: a cost that belongs to one
    // command (the radio storing a memory, the first exchange after the event handling) stands
    // out here.
    std::cout << "by exchange number in the channel (WriteStr / wait ended late, ms summed over"
                 " the 99 channels):\n ";
    for (size_t k = 0; k < 16; ++k) {
        double w = 0, o = 0;
        for (size_t i = k; i < r.timings.size(); i += 16) {
            w += write[i];
            o += overshoot[i];
        }
        std::cout << " #" << k + 1 << " " << fixed(w, 0) << "/" << fixed(o, 0);
        if (k == 7)
            std::cout << "\n ";
    }
    std::cout << "\n";
}

} // namespace memvane::bench
