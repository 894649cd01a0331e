#pragma once
// "Write to Radio": every ticked row into the radio memory its "Mem Loc" names, by a fixed
// script of 24 exchanges per row (memory mode, select the memory, VFO A with "Freq VFO A", VFO B
// with "Freq VFO B", mode and filter on both, split/duplex reset and finally the row's own
// split/duplex code, storing the memory after each step).
//
// Runs on the user-interface thread; events are processed once per ticked row, before its
// exchanges, so a STOP or close request is seen at the next ticked row. Every text of a row is
// turned into bytes before its first exchange: a row that cannot be written stops the write with
// its message and nothing of it reaches the radio. While a write runs ProgramState::busy is set.

#include "channels/RadioContext.h"

#include <cstdint>
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
    uint8_t split = 0;
};

// Resolves row `index` of the list. Throws EConvertError (bad location, frequency, mode, filter
// or split/duplex text) or EListError (a row without those columns).
ChannelWritePlan planChannelWrite(const ProgramState& state, const ChannelList& list, size_t index);

// The 24 exchanges for one planned row. Throws EAbort when the radio does not answer; a refused
// exchange, the memory selection included, is logged and the script goes on. Returns whether
// the radio took every exchange but the memory selection (a blank memory refuses that one).
bool writeChannel(RadioContext& ctx, const ChannelWritePlan& plan);

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
