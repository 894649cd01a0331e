#pragma once
// The program's radio path outside the window, for the radio benchmarks: TComPort set up with
// the main window's design values (19200 8N1, no flow control, the same line events, OnRxChar
// running the transceive monitor), ComPortIo over it, and a PortIo wrapper that times every
// phase of each exchange. The exchange and the reading code are the program's own
// (ccomportwrite, readAllChannels); only the window is replaced by BenchUi.
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
    Clock::time_point sleepStart, sleepEnd; // the civdelay sleep
    Clock::time_point readStart, readEnd;   // ReadStr
    int requestedSleepMs = 0;
    std::string reply; // the bytes ReadStr returned
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

    std::vector<ExchangeTiming> timings;

private:
    ComPortIo m_io;
    ExchangeTiming m_current;
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

// "Read Radio Memory" (readAllChannels) over `line` with the exchange delay `civdelay`.
FullReadResult runFullRead(RadioLine& line, int civdelay);

// Rows that differ from the sample memories (expectedRowTexts); empty when all 99 match.
std::vector<std::string> compareWithSample(const std::vector<ChannelRow>& rows);

// Prints where the time of a full read went, per exchange and in total.
void printBreakdown(const FullReadResult& r, int civdelay);

} // namespace memvane::bench
