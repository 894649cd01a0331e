#pragma once
// The command exchange: every command to the radio goes through ccomportwrite, one at a time,
// on the user-interface thread. It purges the port, writes the frame, sleeps civdelay (45 ms) and
// takes whatever has arrived (at most 200 bytes, never waiting for more). No events are
// processed meanwhile, so nothing else of the program runs inside an exchange.
//
// Outcomes:
//   - the expected text is in the reply: the hex text after it up to the next "FD" (empty when
//     no "FD" follows); nothing is logged;
//   - the radio refused (FE FE E0 aa FA ... FD): errcount + 1, three error lines, "Errors"
//     enabled, Label1 emptied, empty result: the caller goes on;
//   - anything else (silence, only the echo, a late or unrelated reply): errcount + 1, three
//     error lines, "Errors" enabled, then EAbort: the calling operation ends silently.
// Errors of the port itself (EComPort) pass through untouched.

#include "civ/PortIo.h"
#include "core/ProgramState.h"
#include "core/UiEffects.h"

#include <string>
#include <string_view>

namespace memvane {

std::string ccomportwrite(const std::string& word, const std::string& look1, PortIo& port,
                          ProgramState& state, UiEffects& ui);

// Builds the frame for `body` (command byte and data) to the radio at state.civaddr and the
// expected text "FEFEE0" + state.civhex + expectSuffix, then runs ccomportwrite.
std::string runCommand(std::string_view body, std::string_view expectSuffix, PortIo& port,
                       ProgramState& state, UiEffects& ui);

} // namespace memvane
