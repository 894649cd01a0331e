#pragma once
// The one narrow interface through which program logic touches the user interface. TForm1
// implements it with real widgets; tests use a scripted fake (tests/support/FakeUi.h) that
// records what was shown and answers questions and dialogs as the test told it to.

#include <optional>
#include <string>
#include <vector>

namespace memvane {

// What a file dialog is opened with. `filter` uses the "Caption|*.ext|Caption|*.ext" form.
struct FileDialogRequest {
    std::string title;
    std::string initialDir;
    std::string filter;
    int filterIndex = 1;
    std::string defaultExt;
    std::string fileName; // proposed name
};

// What the program asks of the user: information boxes, one question, file dialogs. The window
// shows real ones (app/QtDialogs.h); tests and benchmarks answer them from a script.
class UiDialogs {
public:
    virtual ~UiDialogs() = default;

    // Plain information box with an OK button.
    virtual void showMessage(const std::string& text) = 0;
    // A report after a command: a summary, then one line per item (what an import could not
    // keep). The window shows a long list in a box of its own that scrolls; by default it is one
    // information box.
    virtual void showReport(const std::string& summary, const std::vector<std::string>& lines)
    {
        std::string text = summary;
        for (const std::string& line : lines)
            text += "\r\n" + line;
        showMessage(text);
    }
    // Box with the error icon and the buttons OK and Cancel; true for OK. Closing it is Cancel.
    virtual bool askOkCancel(const std::string& text) = 0;

    // File dialogs: the chosen full path, or nothing when the user cancelled.
    virtual std::optional<std::string> runSaveDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> runOpenDialog(const FileDialogRequest& request) = 0;
};

class UiEffects : public UiDialogs {
public:
    // Status label Label1: set the text and repaint it at once.
    virtual void setStatus(const std::string& text) = 0;
    virtual std::string status() const = 0;

    // Let the window handle its pending events (user clicks, received-data events).
    virtual void processEvents() = 0;

    // Error list window Form3: append one line / empty it; the "Errors" menu item's state.
    virtual void appendErrorLine(const std::string& line) = 0;
    virtual void clearErrorList() = 0;
    virtual void setErrorsEnabled(bool enabled) = 0;

    // Several commands hide the edit panel Panel3 before they act.
    virtual void hideEditPanel() = 0;
};

} // namespace memvane
