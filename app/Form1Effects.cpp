// The main window as the program's UiEffects: the status label, the error list window, the
// edit panel, and the dialogs, which the dialog service shows.
#include "app/Unit1.h"

#include "app/TextCodec.h"
#include "app/Unit3.h"
#include "core/Errors.h"
#include "serial/CPort.h"

#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>

namespace memvane {

void TForm1::setStatus(const std::string& text)
{
    m_status = text;
    Label1->setText(decodeText(text));
    // A text wider than the label (a verified write's end text, a backup's name) takes a
    // second line above its first, so that nothing below the label moves or is covered.
    const bool wide = Label1->fontMetrics().horizontalAdvance(Label1->text()) > Label1->width();
    const int top = 17, line = 13;
    Label1->setWordWrap(wide);
    Label1->setAlignment(wide ? Qt::AlignLeft | Qt::AlignBottom : Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setGeometry(Label1->x(), wide ? top - line : top, Label1->width(),
                        wide ? 2 * line : line);
    Label1->setToolTip(wide ? Label1->text() : QString());
    Label1->repaint();
}

std::string TForm1::status() const
{
    return m_status;
}

void TForm1::processEvents()
{
    QCoreApplication::processEvents();
}

void TForm1::appendErrorLine(const std::string& line)
{
    if (m_form3)
        m_form3->Memo1->appendPlainText(decodeText(line));
}

void TForm1::clearErrorList()
{
    if (m_form3)
        m_form3->Memo1->clear();
}

void TForm1::setErrorsEnabled(bool enabled)
{
    Errors1->setEnabled(enabled);
}

void TForm1::showMessage(const std::string& text)
{
    m_dialogs->showMessage(text);
}

void TForm1::showReport(const std::string& summary, const std::vector<std::string>& lines)
{
    m_dialogs->showReport(summary, lines);
}

bool TForm1::askOkCancel(const std::string& text)
{
    return m_dialogs->askOkCancel(text);
}

std::optional<std::string> TForm1::runSaveDialog(const FileDialogRequest& request)
{
    return m_dialogs->runSaveDialog(request);
}

std::optional<std::string> TForm1::runOpenDialog(const FileDialogRequest& request)
{
    return m_dialogs->runOpenDialog(request);
}

void TForm1::hideEditPanel()
{
    Panel3->hide();
}

void TForm1::reportException(const std::exception& error)
{
    if (dynamic_cast<const EAbort*>(&error))
        return;
    std::string text = error.what();
    // The port's fixed message says what failed; the system's reason (and, for a permission
    // problem, the fix) goes on the next line.
    if (const auto* port = dynamic_cast<const EComPort*>(&error); port && !port->Detail().empty())
        text += "\r\n" + port->Detail();
    showMessage(text);
}

} // namespace memvane
