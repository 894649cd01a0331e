#pragma once
// The row texts of the channel list and the radio's bytes, both ways: location labels and their
// memory numbers, the split/duplex text a read derives from two frequencies, and the codes a
// write looks up from the mode, filter and split/duplex names. Pure functions.

#include "core/ProgramState.h"

#include <cstdint>
#include <string>

namespace memvane {

// "Mem 42".
std::string locationLabel(int memory);

// "1A" .. "C2" for the special locations 100 .. 107; empty for every other number.
std::string specialLocationName(int memory);

// The part of a label that names the memory: the text after the first blank (the whole text
// when there is none), with the special names "1A".."C2" in any letter case replaced by
// "100".."107".
std::string locationText(const std::string& label);

// locationText converted to a memory number. Throws EConvertError "'%s' is not a valid integer
// value" for a text that is no integer, and a range message for numbers the two location bytes
// cannot carry (below 0, above 199).
int locationNumber(const std::string& label);

// Body of the memory-select command: 08, hundreds digit, last two digits in BCD
// (42 -> 08 00 42, 105 -> 08 01 05). `memory` must lie in 0..199.
std::string selectMemoryBody(int memory);

// "Duplex Off" when the two frequency texts are equal; otherwise by the transmit frequency:
// below 30 "Split On", 50..52 "Duplex +", 70..70.5 "Split On", 144..146 "Duplex --",
// 430..444 "Duplex +", anything else "Split On".
std::string splitDuplexText(const std::string& rxText, const std::string& txText, double txMhz);

// Codes for a write. An entry matches when the row's text occurs within it (empty texts never
// match); mode and filter take the first match, split/duplex the last. The code is the entry's
// index as a BCD byte (index 12 -> 12H). A mode or filter text without a match is read as a
// decimal number; a split/duplex text without a match has no code. Throws EConvertError
// "'%s' is not a valid integer value" (with an empty %s for split/duplex), or a range message
// for a number outside 0..99.
uint8_t modeCode(const ProgramState& state, const std::string& text);
uint8_t filterCode(const ProgramState& state, const std::string& text);
uint8_t splitCode(const ProgramState& state, const std::string& text);

} // namespace memvane
