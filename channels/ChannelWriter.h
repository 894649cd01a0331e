#pragma once
// "Write to Radio": every ticked row into the radio memory its "Mem Loc" names, by a fixed
// script of 24 exchanges per row (memory mode, select the memory, VFO A with "Freq VFO A", VFO B
// with "Freq VFO B", mode and filter on both, split/duplex reset and finally the row's own
// split/duplex code, storing the memory after each step).
//
// A memory transmits on the row's "Freq VFO A" whatever the radio's own offset setting: a
// "Duplex --" or "Duplex +" row first sets the duplex offset (0D) to the distance between its
// two frequencies, one exchange more. Where a duplex memory cannot say that transmit frequency
// (it lies on the other side of the receive frequency, 100 MHz or more away, or between the
// offset's 100 Hz steps) or the radio refuses the offset, the row is stored as a split memory
// (0F 01) instead, which transmits on VFO A as it is.
//
// Runs on the user-interface thread; events are processed once per ticked row, before its
// exchanges, so a STOP or close request is seen at the next ticked row. Every text of a row is
// turned into bytes before its first exchange: a row that cannot be written stops the write with
// its message and nothing of it reaches the radio. While a write runs ProgramState::busy is set.

#include "channels/RadioContext.h"

#include <cstdint>
#include <optional>
#include <string>

namespace memvane {

// A row turned into what the script sends.
struct ChannelWritePlan
{
    int memory = 0;
    std::string freqA; // five frequency bytes
    std::string freqB;
    uint8_t mode = 0;
    uint8_t filter = 0;
    uint8_t split = 0;  // the code sent last; a duplex row that cannot be one is 0F 01
    std::string offset; // duplex rows: the three offset bytes sent before `split`
};

// The three bytes of a duplex offset, 100 Hz steps in BCD, least significant pair first
// (600 kHz -> 00 60 00); nothing for a distance they cannot carry (99.9999 MHz at most).
std::optional<std::string> offsetBytes(long long hz);

// Resolves row `index` of the list. Throws EConvertError (bad location, frequency, mode, filter
// or split/duplex text, a memory the radio does not have: 1..99 and 1A..C2 = 100..107) or
// EListError (a row without those columns).
ChannelWritePlan planChannelWrite(const ProgramState& state, const ChannelList& list, size_t index);

// The 24 exchanges for one planned row. Throws EAbort when the radio does not answer; a refused
// exchange, the memory selection included, is logged and the script goes on. Returns whether
// the radio took every exchange but the memory selection (a blank memory refuses that one).
// `storedSplit`, when given, gets the split/duplex code the memory was stored with.
bool writeChannel(RadioContext& ctx, const ChannelWritePlan& plan, uint8_t* storedSplit = nullptr);

// WritetoradioClick. Returns the number of rows that writeChannel found refused.
int writeTickedChannels(RadioContext& ctx);

struct WriteOptions;
struct WriteOutcome;
// The same with a backup before, a check after each row, or a backup's blank rows cleared
// (channels/WriteSafety.h). With every option off it sends exactly what writeTickedChannels
// sends. Throws AppError, before anything is written, when the backup fails.
WriteOutcome writeChannels(RadioContext& ctx, const WriteOptions& options);

// "3 Memory Locations Writen " and, after a verified write, "3 Memory Locations Writen, 1
// differs from its row" ("0 differ from their rows", "2 differ ...").
std::string writeEndText(int count, bool verified, int differing);

} // namespace memvane
