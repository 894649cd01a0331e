#pragma once
// "Go To Chan": puts the radio in memory mode on the memory of the selected row, so the user can
// listen to it. Two exchanges, no events processed, nothing in the program changes. The memory
// number is characters 5 and 6 of the row's "Mem Loc" (the digits after "Mem "): "Mem 1A" is no
// number and "Mem 100" selects 10. Every failure ends it silently, including a missing selection,
// a port error and a radio that does not answer (whose error lines are still written).
// Does nothing while a read or write is running.

#include "channels/RadioContext.h"

#include <cstddef>
#include <optional>

namespace memvane {

// The two exchanges; a row without a usable location sends nothing. Returns false when the radio
// refused the switch to memory mode (the memory selection takes any answer). A silent radio
// (EAbort), a port error or a location that is no number throws: memvane-cli reports them.
bool tuneToChannel(RadioContext& ctx, std::optional<size_t> selectedRow);

// gotochanClick: tuneToChannel, every failure ending it silently (false).
bool goToChannel(RadioContext& ctx, std::optional<size_t> selectedRow);

} // namespace memvane
