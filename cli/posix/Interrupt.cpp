// Ctrl-C on POSIX: SIGINT (cli/TerminalUi.h).
#include "cli/TerminalUi.h"

#include <csignal>

namespace memvane::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
    // The next Ctrl-C is the default one: the program ends at once.
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

void installInterruptHandler()
{
    struct sigaction action
    {
    };
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Calls into the port go on where the signal met them; the exchange must not fail for it.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted()
{
    return g_interrupted != 0;
}

} // namespace memvane::cli
