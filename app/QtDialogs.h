#pragma once
// The program's real dialogs: message boxes owned by the main window, and the file dialog with
// the filter strings the file commands use ("Caption|*.ext|Caption|*.ext").

#include "core/UiEffects.h"

class QWidget;

namespace memvane {

class QtDialogs : public UiDialogs
{
public:
    explicit QtDialogs(QWidget* owner) : m_owner(owner) {}

    void showMessage(const std::string& text) override;
    void showReport(const std::string& summary, const std::vector<std::string>& lines) override;
    bool askOkCancel(const std::string& text) override;
    std::optional<std::string> runSaveDialog(const FileDialogRequest& request) override;
    std::optional<std::string> runOpenDialog(const FileDialogRequest& request) override;

private:
    QWidget* m_owner;
};

} // namespace memvane
