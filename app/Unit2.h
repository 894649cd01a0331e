#pragma once
// Form2, the help and about window. Two panels, one text box each; exactly one panel shows.
// The view is switched from the window's own menu and kept while the window is hidden, so the
// next "help/about" from the main window shows it again. Hidden, never destroyed, when closed.

#include <QMainWindow>

class QAction;
class QPlainTextEdit;
class QWidget;

namespace memvane {

class TForm2 : public QMainWindow
{
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    // The two texts exactly as the window shows them, lines joined with '\n'.
    static QString helpText();
    static QString aboutText();

    QAction* close1 = nullptr;
    QAction* About1 = nullptr;
    QAction* Help1 = nullptr;
    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;

public Q_SLOTS:
    void FormCreate();
    void close1Click();
    void About1Click();
    void Help1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_centred = false;
};

} // namespace memvane
