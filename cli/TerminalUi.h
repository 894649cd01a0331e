#pragma once
// The command-line tool's UiEffects: what the window shows goes to standard error. The status
// texts of a read or write ("Reading Memory Location 12") become a progress bar on a terminal
// and one line each otherwise; a write's texts name the memory ("Writing Mem 50, row 1"), not
// only the row. The error lines of failed exchanges are printed as they come, except, below
// -v, those of the refusals with which the radio says a memory is empty (memory to VFO, the
// memory selection): a read of a half-empty radio would print hundreds of them. -q prints
// neither progress nor those lines, only the other error lines and messages.
//
// Ctrl-C does what "STOP Reading Memory" does: the signal handler only raises a flag, which the
// next status text or event round copies into ProgramState::stopread, so a read or write stops
// at its next memory and the memory in progress is finished. A second Ctrl-C ends the program
// at once.

#include "core/ProgramState.h"
#include "core/UiEffects.h"

#include <cstdio>
#include <string>
#include <vector>

namespace memvane::cli {

// Installs the Ctrl-C handler (SIGINT) described above.
void installInterruptHandler();
bool interrupted();

class TerminalUi : public UiEffects
{
public:
    // `bar`: draw a progress bar (a terminal) rather than one line per status text.
    // `verbosity`: 0 quiet, 1 progress, 2 every error line.
    TerminalUi(ProgramState& state, std::FILE* out, bool bar, int verbosity = 1);

    // The "Mem Loc" of each row by position, so that a write's progress names the memory.
    void setRowLabels(std::vector<std::string> labels) { m_rowLabels = std::move(labels); }

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

    std::string progressText(const std::string& text) const;
    void printLine(const std::string& line);

    ProgramState& m_state;
    std::FILE* m_out;
    bool m_bar;
    int m_verbosity;
    std::vector<std::string> m_rowLabels;
    std::string m_pendingSent;         // a failure's first line, until its second tells
    bool m_emptyMemoryCommand = false; // ... whether it is an empty memory's refusal
    bool m_emptyMemoryGroup = false;   // the error lines now coming are an empty memory's
    bool m_barShown = false;
    int m_total = 0;
    int m_started = 0;
    std::string m_status;
};

} // namespace memvane::cli
