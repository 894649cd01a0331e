#pragma once
// A scripted radio for the unit tests of the radio operations, used as ScriptedPort::respond.
// It acknowledges every command, remembers the selected memory (08 hh ll) and VFO (07 00/01),
// and answers the reads (03, 0C, 04) with the data texts set for the selected memory. Frames can
// be refused (NG) or ignored (no answer) by a predicate on the memory and the frame's hex text.

#include "civ/Codec.h"
#include "tests/civ/ScriptedPort.h"

#include <functional>
#include <map>
#include <string>

namespace memvane::test {

class FakeRadio
{
public:
    struct Channel
    {
        std::string rx = "0000504501"; // VFO A: 145.5 MHz
        std::string tx = "0000504501"; // VFO B
        std::string offset = "006000"; // 0.6 MHz
        std::string mode = "0501";     // FM, Normal
    };

    std::map<int, Channel> channels; // by memory number; others get `fallback`
    Channel fallback;
    std::function<bool(int memory, const std::string& frameHex)> refuse;
    std::function<bool(int memory, const std::string& frameHex)> ignore;
    int selected = 0;

    Reply operator()(const std::string& frame)
    {
        std::string hex = toHexText(frame);
        if (hex.size() >= 14 && hex.compare(8, 2, "08") == 0)
            selected = decimalReading(hex.substr(10, 2)).value() * 100 +
                       decimalReading(hex.substr(12, 2)).value();
        if (ignore && ignore(selected, hex))
            return {};
        std::string head = "FEFEE0" + hex.substr(4, 2);
        if (refuse && refuse(selected, hex))
            return {fromHex(head + "FAFD"), ""};
        std::string command = hex.substr(8, 2);
        if (command == "07")
            m_vfoB = hex.substr(10, 2) == "01";
        const Channel& c = channels.count(selected) ? channels[selected] : fallback;
        if (command == "03")
            return {fromHex(head + "03" + (m_vfoB ? c.tx : c.rx) + "FD"), ""};
        if (command == "0C")
            return {fromHex(head + "0C" + c.offset + "FD"), ""};
        if (command == "04")
            return {fromHex(head + "04" + c.mode + "FD"), ""};
        return {fromHex(head + "FBFD"), ""};
    }

private:
    bool m_vfoB = false;
};

} // namespace memvane::test
