// Ctrl-C on Windows: the console's control handler, which the system runs on a thread of its
// own (cli/TerminalUi.h).
#include "cli/TerminalUi.h"

#include <windows.h>

#include <atomic>

namespace memvane::cli {

namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI onControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    // The next Ctrl-C is the default one: the program ends at once.
    if (g_interrupted.exchange(true))
        return FALSE;
    return TRUE;
}

} // namespace

void installInterruptHandler()
{
    SetConsoleCtrlHandler(onControl, TRUE);
}

bool interrupted()
{
    return g_interrupted.load();
}

} // namespace memvane::cli
