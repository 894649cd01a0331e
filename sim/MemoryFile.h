#pragma once
// The simulated radio's memories as a text file, so that what the program wrote survives a
// restart of memvane-radio. One memory per line, fields separated by blanks or tabs:
//
//   LOC RX-MHZ RX-MODE RX-FILTER TX-MHZ TX-MODE TX-FILTER SPLIT DUPLEX OFFSET-MHZ
//   12  145.500000 FM Normal 145.500000 FM Normal off off 0.6000
//
//   LOC     1..99, or 1A 1B 2A 2B 3A 3B C1 C2 (also 100..107), any case
//   MHZ     decimal megahertz with a full stop, at most six decimals (1 Hz), below 10000
//   MODE    LSB USB AM CW RTTY FM WFM      FILTER  Normal Narrow Wide
//   SPLIT   on | off                        DUPLEX  off | - | +
//   OFFSET  duplex offset in megahertz, in steps of 100 Hz, below 100
//
// RX is the memory's receive side (what a recall shows), TX its split partner. Lines starting
// with '#' and blank lines are ignored; memories not listed are blank. A later line for the same
// location replaces an earlier one.
//
// Saving writes a temporary file beside the target and renames it over the target, so a failed
// save never destroys the previous file. Numbers never go through the locale.

#include "sim/RadioModel.h"

#include <map>
#include <stdexcept>
#include <string>

namespace memvane::sim {

using MemoryMap = std::map<int, Memory>;

class MemoryFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Throws MemoryFileError "PATH:LINE: what is wrong" on a bad line, "cannot read PATH: reason"
// when the file cannot be read. A missing file is an empty map when `missingOk`.
MemoryMap loadMemories(const std::string& path, bool missingOk = true);
MemoryMap parseMemories(const std::string& text, const std::string& sourceName);
std::string formatMemories(const MemoryMap& memories);
// Throws MemoryFileError "cannot write PATH: reason".
void saveMemories(const std::string& path, const MemoryMap& memories);

MemoryMap memoriesOf(const RadioModel& model);
void loadInto(RadioModel& model, const MemoryMap& memories); // blanks every memory not listed

// Mode and filter names of the file ("WFM" for wide FM); empty for unknown codes.
std::string modeName(std::uint8_t mode);
std::string filterName(std::uint8_t filter);
// Decimal megahertz text to Hz without rounding; nullopt when malformed or > maxHz.
std::optional<std::uint64_t> parseMhz(std::string_view text, std::uint64_t maxHz = kMaxHz);
// "145.500000"
std::string formatMhz(std::uint64_t hz, int decimals = 6);

} // namespace memvane::sim
