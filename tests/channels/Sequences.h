#pragma once
// The command sequences the radio must see, written out as hex text for the radio at 58H, so
// that tests compare frame logs against the protocol rather than against the code that makes it.

#include "sim/RadioModel.h"

#include <cstdio>
#include <string>
#include <vector>

namespace memvane::test {

// The sixteen frames that read one memory; `mem` is the four hex digits of its location bytes
// ("0042" for memory 42, "0105" for 3B).
inline std::vector<std::string> readFrames(const std::string& mem)
{
    return {"FEFE58E008FD",   "FEFE58E008" + mem + "FD",
            "FEFE58E00700FD", "FEFE58E008FD",
            "FEFE58E00F01FD", "FEFE58E009FD",
            "FEFE58E00AFD",   "FEFE58E00700FD",
            "FEFE58E003FD",   "FEFE58E00701FD",
            "FEFE58E003FD",   "FEFE58E00CFD",
            "FEFE58E004FD",   "FEFE58E008FD",
            "FEFE58E00F00FD", "FEFE58E009FD"};
}

// The twenty-four frames that write one row: location bytes, the ten-digit frequency texts of
// VFO A and VFO B, mode+filter ("0501") and the split/duplex code ("10"). A duplex row sets its
// offset first (`offset` "006000" for 600 kHz): twenty-five frames.
inline std::vector<std::string> writeFrames(const std::string& mem, const std::string& freqA,
                                            const std::string& freqB, const std::string& modeFilter,
                                            const std::string& split,
                                            const std::string& offset = "")
{
    const std::string setMode = "FEFE58E006" + modeFilter + "FD";
    std::vector<std::string> frames{"FEFE58E008FD",
            "FEFE58E008" + mem + "FD",
            "FEFE58E00700FD",
            "FEFE58E005" + freqA + "FD",
            "FEFE58E009FD",
            setMode,
            "FEFE58E00F00FD",
            "FEFE58E009FD",
            "FEFE58E00F10FD",
            "FEFE58E009FD",
            "FEFE58E00701FD",
            "FEFE58E005" + freqB + "FD",
            "FEFE58E009FD",
            setMode,
            "FEFE58E00F00FD",
            "FEFE58E009FD",
            "FEFE58E00F10FD",
            "FEFE58E009FD",
            "FEFE58E008FD",
            setMode,
            "FEFE58E00F00FD",
            "FEFE58E009FD",
            "FEFE58E00F" + split + "FD",
            "FEFE58E009FD"};
    if (!offset.empty())
        frames.insert(frames.end() - 2, "FEFE58E00D" + offset + "FD");
    return frames;
}

// The four hex digits of a memory's location bytes: 42 -> "0042", 105 -> "0105".
inline std::string locationHex(int memory)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d%02d", memory / 100, memory % 100);
    return buf;
}

// A simulated memory whose two VFOs differ only in frequency.
inline sim::Memory memoryOf(std::uint64_t rxHz, std::uint64_t txHz, std::uint8_t mode,
                            std::uint8_t filter)
{
    sim::Memory m;
    m.receive = {rxHz, mode, filter};
    m.transmit = {txHz, mode, filter};
    return m;
}

template <typename T> void append(std::vector<T>& to, const std::vector<T>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

} // namespace memvane::test
