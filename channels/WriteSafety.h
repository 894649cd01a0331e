#pragma once
// The safety net of "Write to Radio": a backup of every memory a write is about to overwrite,
// a check of each written memory against its row, and the way back (a backup written again).
//
// Backup: before the first row is sent, every memory that a ticked row names is read with the
// reading sequence of "Read Radio Memory" (16 exchanges, events processed between memories,
// STOP honoured) and the rows are handed, ticked, to the caller's saveBackup, which keeps them
// as a channel file. A memory that does not answer or refuses more than a blank memory does, a
// STOP, or a file that cannot be saved ends the write before anything is written.
//
// Verify: after a row's write the memory is read back the same way and compared, in the
// radio's terms, with what the write sent: both frequencies (the read shows the memory's
// transmit side in "Freq VFO A" and its receive side in "Freq VFO B", the columns the write
// sent them from), mode, filter and, where the write sets it, the duplex offset. The radio does
// not report split/duplex, and the reading sequence stores the memory with split on and then
// off, which clears it: the row's split/duplex code is stored again after the read (two
// exchanges more). A difference appends lines to the error list naming the memory, what it
// holds and what the row asked for.
//
// Restore: a backup written back. Its blank rows (no frequencies) are memories that were blank:
// they are cleared (VFO A, select the memory, memory clear 0B) instead of written.
//
// Runs on the user-interface thread inside a write (ProgramState::busy is set by the caller).

#include "channels/ChannelReader.h"
#include "channels/ChannelWriter.h"

#include <functional>
#include <string>
#include <vector>

namespace memvane {

struct WriteOptions
{
    bool backup = false;  // read and save the memories first
    bool verify = false;  // read each memory back after writing it
    bool restore = false; // blank rows clear their memory instead of stopping the write
    // Saves the backup rows; returns the file's full name. Throws AppError when it cannot.
    std::function<std::string(const std::vector<ChannelRow>&)> saveBackup;
};

struct WriteOutcome
{
    int count = 0;       // ticked rows visited: the end text's number
    int refusedRows = 0; // rows with a refused exchange
    int differing = 0;   // verified rows the radio does not hold as asked
    std::string backupPath;
    bool finished = false; // ran to the last row (not stopped, nothing left unwritten)
};

// A row that a full read shows for a blank memory: no frequency in either column.
bool isBlankRow(const ChannelRow& row);

// The memory a ticked row will overwrite: its plan's (planChannelWrite and its errors), or for
// a blank row of a restore only its location.
int memoryOfRow(const ProgramState& state, const ChannelList& list, size_t index,
                const WriteOptions& options);

// Every memory the ticked rows will overwrite, each once, in list order; every ticked row is
// checked on the way (planChannelWrite's errors).
std::vector<int> memoriesToBackUp(const ProgramState& state, const ChannelList& list,
                                  const WriteOptions& options);

// "Mem 12", "Mem 1A" for 100..107: the label a backup row gets.
std::string backupLabel(int memory);

// Reads `memories` in order into ticked rows (blank memories as blank rows). Throws AppError
// (the radio did not answer, refused, or sent what cannot be decoded) and returns nothing when
// stopped (STOP or a close request).
std::optional<std::vector<ChannelRow>> readBackupRows(RadioContext& ctx,
                                                      const std::vector<int>& memories);

// Clears memory `memory`: 07 00, 08 hh ll (any answer: a blank memory answers NG), 0B. True
// when the radio took the clear.
bool clearChannel(RadioContext& ctx, int memory);

// The differences between what was read back and what the write sent, one line each
// ("Mem 12 Freq VFO B: the radio holds 0145.505000, the row asked for 0145.500000"); none
// when they agree. `plan` null: the row was a blank one, the memory should be blank.
std::vector<std::string> compareWithPlan(const ProgramState& state, const std::string& label,
                                         const ChannelReading& got, const ChannelWritePlan* plan);

// Reads the memory back, compares, appends the lines of any difference to the error list and
// stores the row's split/duplex code again. True when the memory holds what was asked.
bool verifyChannel(RadioContext& ctx, const std::string& label, int memory,
                   const ChannelWritePlan* plan);

} // namespace memvane
