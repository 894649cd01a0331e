#pragma once
// What reading a memory of the simulated radio must show in the channel list, worked out from the
// memory itself rather than from the program's code: the texts of its row.
//
// After "memory to VFO" VFO A holds the memory's receive side and VFO B its transmit side; the
// reading takes VFO B's frequency into "Freq VFO A", VFO A's into "Freq VFO B", and the mode and
// filter last, from VFO B. The split/duplex text follows from the two frequencies.

#include "sim/RadioModel.h"
#include "tests/support/BandRules.h"

#include <cstdio>
#include <string>
#include <vector>

namespace memvane::test {

inline std::string freqText(std::uint64_t hz)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04llu.%06llu", static_cast<unsigned long long>(hz / 1000000),
                  static_cast<unsigned long long>(hz % 1000000));
    return buf;
}

inline std::string offsetText(std::uint32_t hz)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u.%04u", hz / 1000000, (hz % 1000000) / 100);
    return buf;
}

inline std::string modeText(std::uint8_t mode)
{
    static const char* const names[] = {"LSB", "USB", "AM", "CW", "RTTY", "FM", "Wide FM"};
    return mode < 7 ? names[mode] : "?";
}

inline std::string filterText(std::uint8_t filter)
{
    static const char* const names[] = {"", "Normal", "Narrow", "Wide"};
    return filter < 4 ? names[filter] : "?";
}

// What splitText gives when no rule covers the two frequencies: the reading's text is then left
// to chance.
inline const std::string kNoRule = "(no rule)";

// Equal frequencies are "Duplex Off"; otherwise the transmit frequency's band decides.
inline std::string splitText(std::uint64_t rxHz, std::uint64_t txHz)
{
    if (rxHz == txHz)
        return "Duplex Off";
    std::string text = bandSplitText(static_cast<double>(txHz) / 1e6);
    return text.empty() ? kNoRule : text;
}

inline std::string locationText(int memory)
{
    return "Mem " + std::to_string(memory);
}

// Columns 1..8 of the row for memory `memory` holding `m`.
inline std::vector<std::string> rowTexts(int memory, const sim::Memory& m)
{
    return {locationText(memory),
            freqText(m.transmit.hz),
            freqText(m.receive.hz),
            modeText(m.transmit.mode),
            filterText(m.transmit.filter),
            splitText(m.receive.hz, m.transmit.hz),
            "",
            offsetText(m.offsetHz)};
}

// A memory that could not be read: its label and seven single spaces.
inline std::vector<std::string> blankTexts(int memory)
{
    std::vector<std::string> texts(8, " ");
    texts[0] = locationText(memory);
    return texts;
}

} // namespace memvane::test
