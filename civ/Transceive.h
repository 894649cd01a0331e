#pragma once
// The transceive monitor behind ComPort1RxChar. The serial component's event thread hands each
// arrival of bytes to the user-interface thread, which calls this; it never runs inside an
// exchange. It drains the receive queue one byte at a time (sleeping 1 ms after each attempt,
// slower than the line, so a broadcast still arriving is not cut), does that twice, and decodes
// the radio's unsolicited broadcasts from address 58H:
//
//     FE FE 00 58 00 f1 f2 f3 f4 f5 FD   operating frequency -> rxfreq ("0145.500000")
//     FE FE 00 58 01 mm ff FD            operating mode      -> rxmode, rxfilter
//
// The first broadcast of each kind in the bytes read wins; bytes that hold none (late replies,
// other addresses) are read and dropped, and the previous values stay. A mode broadcast whose
// mode or filter field is missing, not decimal, or outside the name tables keeps that field's
// previous name. Never throws: a read that fails ends the draining, and what was read is decoded.

#include "core/ProgramState.h"

#include <functional>
#include <string>

namespace memvane {

// `readOneByte` is ReadStr with count 1: one byte, or an empty string when nothing is queued.
// `sleepMs` sleeps. Returns Memo3's text: rxfreq, CR LF, rxmode, two blanks, rxfilter.
std::string ComPort1RxCharLogic(ProgramState& state,
                                const std::function<std::string()>& readOneByte,
                                const std::function<void(int)>& sleepMs);

// Bytes read per pass at most: a line that never falls silent (a stuck radio, noise) must not
// hold the user-interface thread forever. Real broadcasts are eleven bytes.
inline constexpr int TransceiveMaxBytesPerPass = 512;

} // namespace memvane
