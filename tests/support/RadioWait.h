#pragma once
// How long the radio-facing tests let the simulated radio take to answer.
//
// The simulated radio answers within a few milliseconds once it gets a CPU. On a machine busy
// with builds, sanitizers or other tests, its thread or process can wait far longer for one, and
// miss the program's 45 ms. A test that is not about that wait gives the exchange
// kBusyMachineWaitMs with the fast exchange, which stops waiting as soon as the answer is in: the
// long wait costs nothing while the radio is on time, and a radio that does not answer still
// fails after it. The few tests of the real 45 ms keep it, and say when a busy machine made the
// radio miss it (PtyLine::busyMachineNote).

#include "core/ProgramState.h"

#include <string>

namespace memvane::test {

inline constexpr int kBusyMachineWaitMs = 2000;

inline void waitAsABusyMachineNeeds(ProgramState& state)
{
    state.civdelay = kBusyMachineWaitMs;
    state.fastExchange = true;
}

// The same for memvane and memvane-cli: their section in "ComPort.ini" (memvane-cli takes
// --fast on its command line).
inline std::string busyMachineSettings()
{
    return "[Memvane]\r\nFastExchange=1\r\nExchangeWait=" + std::to_string(kBusyMachineWaitMs) +
           "\r\n";
}

} // namespace memvane::test
