#pragma once
// The command-line tool's UiEffects: what the window shows goes to standard error. The status
// texts of a read or write ("Reading Memory Location 12") become a progress bar on a terminal
// and one line each otherwise; a write's texts name the memory ("Writing Mem 50, row 1"), not
// only the row. The error lines of failed exchanges are printed once their memory is done,
// except, below -v, those of the refusals with which the radio says a memory is empty (memory
// to VFO and the store after it, the memory selection): a read of a half-empty radio would
// print hundreds of them. -q prints no progress, only the other error lines and messages.
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
    void flushFailures();

    ProgramState& m_state;
    std::FILE* m_out;
    bool m_bar;
    int m_verbosity;
    std::vector<std::string> m_rowLabels;
    // The failures of the memory in progress, printed when it is done.
    struct Failure
    {
        std::string command; // hex text after the address and E0: "0AFD", "080012FD"
        bool refused = false;
        std::vector<std::string> lines;
    };
    std::vector<Failure> m_failures;
    bool m_barShown = false;
    int m_total = 0;
    int m_started = 0;
    std::string m_status;
};

} // namespace memvane::cli
