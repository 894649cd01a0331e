#pragma once
// Scripted stand-in for the main window's UI effects. It records everything shown; questions
// and dialogs are answered from queues the test fills, and an unexpected one fails the test.

#include "core/UiEffects.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace memvane::test {

class FakeUi : public UiEffects {
public:
    // Recorded effects.
    std::string label;                       // current Label1 text
    std::vector<std::string> statusHistory;  // every text Label1 was given
    std::vector<std::string> errorLines;     // Form3's Memo1 lines
    bool errorsEnabled = false;
    std::vector<std::string> messages;       // information boxes shown
    std::vector<std::string> questions;      // OK/Cancel boxes shown
    std::vector<FileDialogRequest> saveDialogs, openDialogs;
    int processEventsCalls = 0;
    int hideEditPanelCalls = 0;

    // Answers, consumed in order.
    std::deque<bool> okCancelAnswers;
    std::deque<std::optional<std::string>> saveAnswers, openAnswers;
    // Runs at each processEvents() call (e.g. to press STOP at a chosen moment).
    std::function<void(int call)> onProcessEvents;

    void setStatus(const std::string& text) override;
    std::string status() const override { return label; }
    void processEvents() override;
    void appendErrorLine(const std::string& line) override { errorLines.push_back(line); }
    void clearErrorList() override { errorLines.clear(); }
    void setErrorsEnabled(bool enabled) override { errorsEnabled = enabled; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool askOkCancel(const std::string& text) override;
    std::optional<std::string> runSaveDialog(const FileDialogRequest& request) override;
    std::optional<std::string> runOpenDialog(const FileDialogRequest& request) override;
    void hideEditPanel() override { ++hideEditPanelCalls; }
};

} // namespace memvane::test
