#include "app/QtDialogs.h"

#include "app/TextCodec.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace memvane {

namespace {

std::string qtFileName(const QString& path)
{
    QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// "Text file|*.txt|Word file|*.doc" -> {"Text file (*.txt)", "Word file (*.doc)"}.
QStringList nameFilters(const std::string& filter)
{
    QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                   ")";
    return out;
}

std::optional<std::string> runFileDialog(QWidget* owner, const FileDialogRequest& request,
                                         QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(owner, QString::fromStdString(request.title),
                       QFile::decodeName(request.initialDir.c_str()));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
    // The program asks its own overwrite question after the dialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    QStringList filters = nameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        int index = std::clamp(request.filterIndex, 1, static_cast<int>(filters.size())) - 1;
        dialog.selectNameFilter(filters[index]);
    }
    if (!request.defaultExt.empty())
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
    if (!request.fileName.empty())
        dialog.selectFile(QFile::decodeName(request.fileName.c_str()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return qtFileName(dialog.selectedFiles().constFirst());
}

} // namespace

void QtDialogs::showMessage(const std::string& text)
{
    QMessageBox box(QMessageBox::Information, "Memvane", decodeText(text), QMessageBox::Ok,
                    m_owner);
    box.exec();
}

void QtDialogs::showReport(const std::string& summary, const std::vector<std::string>& lines)
{
    // The first lines in the box itself, every line in its details, which scroll.
    constexpr size_t kShown = 12;
    std::string text = summary, all;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i < kShown)
            text += "\n" + lines[i];
        all += (i ? "\n" : "") + lines[i];
    }
    QMessageBox box(QMessageBox::Information, "Memvane", QString(), QMessageBox::Ok, m_owner);
    if (lines.size() > kShown) {
        text += "\n... and " + std::to_string(lines.size() - kShown) + " more under Show Details";
        box.setDetailedText(decodeText(all));
    }
    box.setText(decodeText(text));
    box.exec();
}

bool QtDialogs::askOkCancel(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, "Error", decodeText(text),
                    QMessageBox::Ok | QMessageBox::Cancel, m_owner);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

std::optional<std::string> QtDialogs::runSaveDialog(const FileDialogRequest& request)
{
    return runFileDialog(m_owner, request, QFileDialog::AcceptSave);
}

std::optional<std::string> QtDialogs::runOpenDialog(const FileDialogRequest& request)
{
    return runFileDialog(m_owner, request, QFileDialog::AcceptOpen);
}

} // namespace memvane
