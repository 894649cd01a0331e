#pragma once
// The test oracles' band rule: the split/duplex text a reading shows for two different
// frequencies follows from the band of the transmit frequency. Written from the band plan, not
// from the program's code.

#include <string>

namespace memvane::test {

// Empty where no band rule covers `txMhz`.
inline std::string bandSplitText(double txMhz)
{
    std::string text;
    if (txMhz < 30)
        text = "Split On";
    if (txMhz >= 50 && txMhz <= 52)
        text = "Duplex +";
    if (txMhz >= 70 && txMhz <= 70.5)
        text = "Split On";
    if (txMhz >= 144 && txMhz <= 146)
        text = "Duplex --";
    if (txMhz >= 430 && txMhz <= 444)
        text = "Duplex +";
    return text;
}

} // namespace memvane::test
