#pragma once
// The program's radio path outside the window, for the radio benchmarks: TComPort set up with
// the main window's design values (19200 8N1, no flow control, the same line events, OnRxChar
// running the transceive monitor), ComPortIo over it, and a PortIo wrapper that times every
// phase of each exchange. The exchange and the reading and writing code are the program's own
// (ccomportwrite, readAllChannels, writeTickedChannels); only the window is replaced by BenchUi.
//
// Main thread only, with a QCoreApplication alive: BenchUi::processEvents runs its event loop,
// which is where the port's event thread gets its received-data handlings run, as in the
// program.

#include "bench/BenchSupport.h"
#include "channels/ChannelList.h"
#include "civ/ComPortIo.h"
#include "core/ProgramState.h"
#include "serial/CPort.h"

#include <string>
#include <vector>

namespace memvane::bench {

// Clock readings around each call the exchange makes, one record per exchange.
struct ExchangeTiming
{
    Clock::time_point openStart, clearEnd;  // ensureOpen + clearBuffers
    Clock::time_point writeStart, writeEnd; // WriteStr
    Clock::time_point sleepStart, sleepEnd; // the civdelay sleep (fixed wait)
    Clock::time_point readStart, readEnd;   // the first and the last ReadStr
    int requestedSleepMs = 0;
    int written = 0;           // bytes of the command
    int waits = 0, reads = 0;  // waits for input (fast exchange) and ReadStr calls
    bool waitTimedOut = false; // the fast exchange waited until civdelay had passed
    std::string reply;         // the bytes ReadStr returned
};

class TimingPortIo : public PortIo
{
public:
    explicit TimingPortIo(TCustomComPort& port) : m_io(port) {}

    void ensureOpen() override;
    void clearBuffers() override;
    int write(const std::string& bytes) override;
    std::string read(int maxCount) override;
    void sleepMs(int ms) override;
    InputWait waitForInput(int ms) override;

    // Files the last exchange's record; an exchange's record is complete when the next one
    // starts, because the fast exchange reads more than once.
    void finish();

    std::vector<ExchangeTiming> timings;

private:
    ComPortIo m_io;
    ExchangeTiming m_current;
    bool m_written = false; // m_current holds an exchange
};

// TComPort on `path` with the main window's design settings, opened.
class RadioLine
{
public:
    explicit RadioLine(const std::string& path);
    ~RadioLine();

    TComPort port;
    TimingPortIo io{port};
    int rxCharHandlings = 0; // ComPort1RxChar calls
    double rxCharMs = 0;     // time spent in them
    ProgramState monitorState;
};

// What a radio operation leaves behind, for comparing the fixed and the fast exchange.
struct FullReadResult
{
    double wallMs = 0;
    CpuTime cpu; // this process during the read
    std::vector<ChannelRow> rows;
    std::vector<std::string> errorLines;
    std::string label;
    std::string failure; // what the read threw, if anything
    std::vector<ExchangeTiming> timings;
    std::vector<double> processEventsMs;
    int rxCharHandlings = 0;
    double rxCharMs = 0;
};

// "Read Radio Memory" (readAllChannels) over `line` with the exchange delay `civdelay`, with the
// fixed wait or the fast exchange.
FullReadResult runFullRead(RadioLine& line, int civdelay, bool fast = false);

// "Write to Radio" (writeTickedChannels) of `rows` over `line`; the result's rows are the list
// afterwards.
FullReadResult runWrite(RadioLine& line, int civdelay, bool fast,
                        const std::vector<ChannelRow>& rows);

// `count` ticked rows for memories 1..count holding what the sample memories 100 - count .. 99
// hold: a write that changes every one of them.
std::vector<ChannelRow> sampleRowsToWrite(int count);

// Rows that differ from the sample memories (expectedRowTexts); empty when all 99 match.
std::vector<std::string> compareWithSample(const std::vector<ChannelRow>& rows);

// What the line itself allows for the exchanges of `r`: every byte on the line (the command,
// which its echo shares, and the answer) at ten bits each at `lineRate`, plus the radio's
// `radioDelayMs` for each exchange it answered.
struct WireLimit
{
    double ms = 0;
    long bytes = 0;
    int answered = 0;
};
WireLimit wireLimit(const FullReadResult& r, int lineRate, int radioDelayMs);

// Prints where the time of a full read went, per exchange and in total.
void printBreakdown(const FullReadResult& r, int civdelay);
// The same for the fast exchange: how long each exchange waited for its reply.
void printFastBreakdown(const FullReadResult& r);

// The differences between two operations' outcomes (rows, error lines, label, how they ended);
// empty when they are the same.
std::vector<std::string> compareOutcomes(const FullReadResult& a, const FullReadResult& b);

} // namespace memvane::bench
