#pragma once
// The command-line tool's UiEffects: what the window shows goes to standard error. The status
// texts of a read or write ("Reading Memory Location 12") become a progress bar on a terminal
// and one line each otherwise; the error lines of failed exchanges are printed as they come.
//
// Ctrl-C does what "STOP Reading Memory" does: the signal handler only raises a flag, which the
// next status text or event round copies into ProgramState::stopread, so a read or write stops
// at its next memory and the memory in progress is finished. A second Ctrl-C ends the program
// at once.

#include "core/ProgramState.h"
#include "core/UiEffects.h"

#include <cstdio>
#include <string>

namespace memvane::cli {

// Installs the Ctrl-C handler (SIGINT; the console's control handler on Windows) described
// above: cli/posix/Interrupt.cpp, cli/win32/Interrupt.cpp.
void installInterruptHandler();
bool interrupted();

class TerminalUi : public UiEffects
{
public:
    // `bar`: draw a progress bar (a terminal) rather than one line per status text.
    TerminalUi(ProgramState& state, std::FILE* out, bool bar);

    // A read or write of `total` memories begins / has ended (the bar's last state is replaced
    // by the final status text).
    void begin(int total);
    void finish();

    void setStatus(const std::string& text) override;
    std::string status() const override { return m_status; }
    void processEvents() override;
    void appendErrorLine(const std::string& line) override;
    void clearErrorList() override {}
    void setErrorsEnabled(bool enabled) override;
    void showMessage(const std::string& text) override;
    bool askOkCancel(const std::string& text) override;
    std::optional<std::string> runSaveDialog(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> runOpenDialog(const FileDialogRequest&) override { return {}; }
    void hideEditPanel() override {}

private:
    void takeInterrupt();
    void drawBar();
    void clearBar();

    ProgramState& m_state;
    std::FILE* m_out;
    bool m_bar;
    bool m_barShown = false;
    int m_total = 0;
    int m_started = 0;
    std::string m_status;
};

} // namespace memvane::cli
