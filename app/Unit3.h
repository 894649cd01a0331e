#pragma once
// Form3, the error list window: one editable text box that the command exchange appends its
// failure lines to (through TForm1's UI effects). Hidden, never destroyed, when closed.

#include <QWidget>

class QPlainTextEdit;

namespace memvane {

class TForm3 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_centred = false;
};

} // namespace memvane
