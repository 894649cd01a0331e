#pragma once
// What the radio operations (read, write, go to) work on: the program state, the window's UI
// effects, the line to the radio and the channel rows. The main window builds one per click.
//
// Reads and writes process events between channels, so the user could start another operation
// from inside one. BusyScope marks a running read or write in ProgramState::busy; the operations
// refuse to start while it is set, and the window refuses its other list-changing commands.

#include "channels/ChannelList.h"
#include "civ/PortIo.h"
#include "core/ProgramState.h"
#include "core/UiEffects.h"

namespace memvane {

struct RadioContext
{
    ProgramState& state;
    UiEffects& ui;
    PortIo& port;
    ChannelList& list;
};

// Sets ProgramState::busy for its lifetime and clears it on every way out.
class BusyScope
{
public:
    explicit BusyScope(ProgramState& state) : m_state(state) { m_state.busy = true; }
    ~BusyScope() { m_state.busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    ProgramState& m_state;
};

// A running read or write should end before its next channel.
inline bool stopRequested(const ProgramState& state)
{
    return state.stopread || state.closeRequested;
}

} // namespace memvane
