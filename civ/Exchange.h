#pragma once
// The command exchange: every command to the radio goes through ccomportwrite, one at a time,
// on the user-interface thread. It purges the port, writes the frame, sleeps civdelay (45 ms) and
// takes whatever has arrived (at most 200 bytes, never waiting for more). No events are
// processed meanwhile, so nothing else of the program runs inside an exchange.
//
// With ProgramState::fastExchange the exchange instead blocks until bytes arrive, reads them,
// and stops waiting as soon as the reply through its end mark (or a refusal through its end
// mark) is in; civdelay stays the longest it waits. The outcome is decided by the same checks
// on the bytes read, so a radio that answers within civdelay gives the same results and error
// lines either way, and a silent one fails after civdelay as before. Bytes that arrive after
// the reply (a broadcast) stay queued for the transceive monitor.
//
// Outcomes:
//   - the expected text is in the reply: its data, the hex text after it up to the next "FD"
//     (empty when no "FD" follows); nothing is logged;
//   - the radio refused (FE FE E0 aa FA ... FD): errcount + 1, three error lines, "Errors"
//     enabled, Label1 emptied, an outcome marked refused: the caller goes on;
//   - anything else (silence, only the echo, a late or unrelated reply): errcount + 1, three
//     error lines, "Errors" enabled, then EAbort: the calling operation ends silently.
// Errors of the port itself (EComPort) pass through untouched.

#include "civ/PortIo.h"
#include "core/ProgramState.h"
#include "core/UiEffects.h"

#include <string>
#include <string_view>

namespace memvane {

// What an exchange the radio answered yields. Callers decide from `refused`, never from
// errcount, which only counts for the user.
struct ExchangeOutcome
{
    std::string data;     // the reply's data; empty when refused
    bool refused = false; // the radio answered NG
};

ExchangeOutcome ccomportwrite(const std::string& word, const std::string& look1, PortIo& port,
                              ProgramState& state, UiEffects& ui);

// Builds the frame for `body` (command byte and data) to the radio at state.civaddr and the
// expected text "FEFEE0" + state.civhex + expectSuffix, then runs ccomportwrite.
ExchangeOutcome runCommand(std::string_view body, std::string_view expectSuffix, PortIo& port,
                           ProgramState& state, UiEffects& ui);

} // namespace memvane
