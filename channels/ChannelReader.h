#pragma once
// Reading memory channels from the radio: "Read Radio Memory" (all of 1..99 into an emptied
// list), "Re-Read Selected Chans" (the memory whose number is the row's position, for every
// ticked row) and "STOP Reading Memory".
//
// Runs on the user-interface thread. Each channel is sixteen exchanges through ccomportwrite,
// about 16 x civdelay; between channels the window processes its events once, which is where a
// STOP click, a close request or the transceive monitor get their turn. A STOP or close is seen
// before the next channel, so the channel in progress is always finished. While a reading runs
// ProgramState::busy is set; a read, write or go-to started meanwhile does nothing.
//
// Failures: a refused exchange is logged and the channel goes on (a full read shows it as a blank
// row); a missing reply ends the reading silently (EAbort) with the rows read so far; a reply
// that cannot be decoded finishes the channel's exchanges, so the memory is left with split off,
// and then throws EConvertError for the message box.

#include "channels/RadioContext.h"

#include <string>

namespace memvane {

// What one channel read yields; the texts go into columns 2..6 and 8 of the row.
struct ChannelReading
{
    std::string tx; // "Freq VFO A": transmit frequency (read from VFO B)
    std::string rx; // "Freq VFO B": receive frequency (read from VFO A)
    std::string mode;
    std::string filter;
    std::string split;
    std::string offset;
    bool refused = false; // the radio refused an exchange: the row shows blank
    bool blank = false;   // it refused memory to VFO, its way of saying the memory is empty
};

// The sixteen exchanges for memory `memory` and their decoding. A full read sets errcount to 0
// first. Throws EAbort (no reply) or EConvertError (undecodable data), see above. Any answer to
// the memory selection goes (a blank memory answers NG and is selected all the same). A refused
// switch to memory mode skips the split-on change and store after it; the final split-off and
// store are skipped only when exchange 14 was refused and either there is no split-on store to
// undo or memory to VFO was refused.
ChannelReading readChannel(RadioContext& ctx, int memory, bool fullRead);

// MemoryreadClick: memories 1..99; the command-line tool may ask for a part of them. Returns
// the number of memories read with a refused exchange that were not blank ones.
int readAllChannels(RadioContext& ctx, int first = 1, int last = 99);
void rereadTickedChannels(RadioContext& ctx); // ReadSelected
void requestStop(ProgramState& state);        // STOPReadingClick

} // namespace memvane
