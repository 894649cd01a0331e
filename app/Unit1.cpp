// The main window's handlers: start-up and close, the radio commands, the channel list and its
// files, the menu and the edit panel.
#include "app/Unit1.h"

#include "app/BuildInfo.h"
#include "app/TextCodec.h"
#include "app/Unit2.h"
#include "app/Unit3.h"
#include "app/WindowUtil.h"
#include "channels/ChannelReader.h"
#include "channels/ChannelTuner.h"
#include "channels/ChannelWriter.h"
#include "civ/ComPortIo.h"
#include "civ/Exchange.h"
#include "civ/ExchangeSettings.h"
#include "core/Errors.h"
#include "core/ExceptionHandler.h"
#include "core/FileStore.h"
#include "files/ChannelFile.h"
#include "files/ChirpCsv.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

#include <utility>

namespace memvane {

namespace {

constexpr const char* kSettingsFile = "ComPort.ini";
constexpr const char* kStoreFailedQuestion =
    "The port settings could not be saved.\r\nClose without saving them?";

} // namespace

// ---------------------------------------------------------------------------------------------
// Start-up and close

void TForm1::FormCreate()
{
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(kDeferredInitEvent)));
}

bool TForm1::event(QEvent* event)
{
    if (event->type() == static_cast<QEvent::Type>(kDeferredInitEvent)) {
        deferredInitialisation();
        return true;
    }
    return QMainWindow::event(event);
}

void TForm1::deferredInitialisation()
{
    if (m_initialised)
        return;
    m_initialised = true;
    // Whatever happens below, the design values' failure is not shown on its own: the chosen
    // port's open decides.
    const bool designOpenFailed = std::exchange(m_designOpenFailed, false);
    guard([&] {
        setWindowTitle(
            QString::fromStdString("Memvane Ver: 6_2-" + buildTimeText(m_options.buildEpoch)));
        setOuterSize(this, kNarrowWidth, kEditPanelMinWindowHeight);
        Label1->resize(150, Label1->height());
        m_state.errcount = 0;
        m_state.basename = "Default";
        setWidgetText(Memo1, m_state.basename); // Memo1Change makes it Default.txt
        Memo2->setText(".txt");
        m_state.civaddr = "$58";
        m_state.civhex = "58";
        m_state.civdelay = 45;
        m_state.fillNameTables();
        CheckBox2->setEnabled(false);
        ComboBox1->setEnabled(false);
        m_state.exedir = m_options.exedir;
        m_state.loaddir = m_state.exedir;
        m_state.userdir = m_options.userdir;
        selectEntry(ComboBox1, ComboBox1->findText("7.6"));

        // Only a regular file counts: a folder, FIFO or device under the name is no settings
        // file, and start-up goes on as without one.
        std::string settings = m_state.exedir + kSettingsFile;
        if (fileKindOf(settings) == FileKind::Regular) {
            loadPortSettings(ComPort1, settings); // a failure ends start-up here
            FastExchange1->setChecked(loadFastExchange(settings));
            m_state.civdelay = loadExchangeWait(settings, m_state.civdelay);
            FastExchange1Click();
        }
        getFileClick(m_comments, *this, m_state.userdir);
        try {
            ComPort1.Open();
        } catch (const std::exception& error) {
            // After a held-back failure of COM1 the user hears once, about the port in use.
            if (designOpenFailed)
                reportException(error);
            else
                showMessage(" Error creating the com component");
        }
    });
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    refreshOuterLimits(this);
    centreOnFirstShow(this, m_centred);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (m_state.busy) {
        // A read or write is between two channels, inside our own event processing: let it
        // stop at the next one and close when it has returned.
        m_state.closeRequested = true;
        event->ignore();
        return;
    }
    if (!FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    // Closing the main window ends the program, whatever other window is still showing.
    if (m_form2)
        m_form2->hide();
    if (m_form3)
        m_form3->hide();
}

bool TForm1::FormClose()
{
    try {
        ComPort1.StoreSettings(stIniFile, m_options.exedir + kSettingsFile);
        storeFastExchange(m_options.exedir + kSettingsFile, m_state.fastExchange);
    } catch (const std::exception& error) {
        // A folder that cannot be written must not trap the user in a window that never
        // closes: say what failed, then let the user decide.
        reportException(error);
        if (!askOkCancel(kStoreFailedQuestion))
            return false;
    }
    guard([&] { ComPort1.Close(); });
    return true;
}

// ---------------------------------------------------------------------------------------------
// What the handlers share

template <class F> void TForm1::guard(F&& body)
{
    try {
        body();
    } catch (const std::exception& error) {
        HandleApplicationException(error);
    }
}

template <class F> void TForm1::unlessBusy(F&& body)
{
    if (m_state.busy)
        return;
    guard(std::forward<F>(body));
}

template <class Operation> void TForm1::radioOperation(Operation operation)
{
    unlessBusy([&] {
        RadioContext ctx = radioContext();
        operation(ctx);
    });
    finishRadioOperation();
}

std::string TForm1::ccomportwrite(const std::string& word, const std::string& look1)
{
    return memvane::ccomportwrite(word, look1, portIo(), m_state, *this).data;
}

PortIo& TForm1::portIo()
{
    if (m_options.portIo)
        return *m_options.portIo;
    if (!m_comPortIo)
        m_comPortIo = std::make_unique<ComPortIo>(ComPort1);
    return *m_comPortIo;
}

RadioContext TForm1::radioContext()
{
    return RadioContext{m_state, *this, portIo(), m_channels};
}

std::optional<size_t> TForm1::selectedRow() const
{
    QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return static_cast<size_t>(rows.constFirst().row());
}

void TForm1::finishRadioOperation()
{
    // A command ignored while busy returns here too: the running operation finishes the close.
    if (m_state.busy || !m_state.closeRequested)
        return;
    m_state.closeRequested = false;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// Radio commands

void TForm1::MemoryreadClick()
{
    radioOperation([](RadioContext& ctx) { readAllChannels(ctx); });
}

void TForm1::ReadSelected()
{
    radioOperation([](RadioContext& ctx) { rereadTickedChannels(ctx); });
}

void TForm1::STOPReadingClick()
{
    requestStop(m_state);
}

void TForm1::WritetoradioClick()
{
    radioOperation([](RadioContext& ctx) { writeTickedChannels(ctx); });
}

void TForm1::gotochanClick()
{
    unlessBusy([&] {
        RadioContext ctx = radioContext();
        goToChannel(ctx, selectedRow());
    });
}

void TForm1::ComPort1RxChar(TCustomComPort* Sender, int Count)
{
    // Count is not used: the monitor reads until the queue is empty.
    (void)Count;
    std::string text = monitorTransceive(Sender ? *Sender : ComPort1, m_state);
    Memo3->setPlainText(decodeText(text).replace("\r\n", "\n"));
}

// ---------------------------------------------------------------------------------------------
// Channel list and files

void TForm1::AllWriteClick()
{
    unlessBusy([&] {
        hideEditPanel();
        m_channels.setAllWrite(true);
    });
}

void TForm1::AllNoWriteClick()
{
    unlessBusy([&] {
        hideEditPanel();
        m_channels.setAllWrite(false);
    });
}

void TForm1::ClearListClick()
{
    unlessBusy([&] {
        hideEditPanel();
        m_channels.clear();
    });
}

void TForm1::savetofileClick()
{
    guard([&] { saveChannelFile(m_channels, m_state, *this); });
}

void TForm1::ReadfromFileClick()
{
    unlessBusy([&] { loadChannelFile(m_channels, m_state, *this); });
}

void TForm1::SelectFileClick()
{
    unlessBusy([&] {
        if (std::optional<FileBoxes> boxes = chooseChannelFile(m_state, *this)) {
            setWidgetText(Memo1, boxes->name);
            setWidgetText(Memo2, boxes->ext);
        }
        loadChannelFile(m_channels, m_state, *this);
    });
}

void TForm1::Memo1Change()
{
    m_state.basename = makeBasename(widgetText(Memo1), widgetText(Memo2));
}

// ---------------------------------------------------------------------------------------------
// Menu

void TForm1::ComPortSelectClick()
{
    unlessBusy([&] {
        hideEditPanel();
        ComPort1.ShowSetupDialog();
    });
}

void TForm1::selectAddress(const char* civaddr, const char* civhex)
{
    unlessBusy([&] {
        m_state.civaddr = civaddr;
        m_state.civhex = civhex;
    });
    // Qt has toggled the clicked item already; the ticks follow the address in use.
    const std::pair<QAction*, const char*> items[] = {
        {IC7061, "48"}, {IC706mkii1, "4E"}, {IC706MKIIG1, "58"}};
    for (const auto& [a, hex] : items)
        a->setChecked(m_state.civhex == hex);
}

void TForm1::IC7061Click()
{
    selectAddress("$48", "48");
}

void TForm1::IC706mkii1Click()
{
    selectAddress("$4E", "4E");
}

void TForm1::IC706MKIIG1Click()
{
    selectAddress("$58", "58");
}

void TForm1::FastExchange1Click()
{
    m_state.fastExchange = FastExchange1->isChecked();
}

void TForm1::makeAtLeast765High()
{
    QSize outer = outerSize(this);
    if (outer.height() < kEditPanelMinWindowHeight)
        setOuterSize(this, outer.width(), kEditPanelMinWindowHeight);
}

void TForm1::OpenCloseEditPanel1Click()
{
    // Decided by the panel, not by the caption: other commands hide the panel and leave the
    // caption reading "Close Edit Panel".
    if (Panel3->isVisible()) {
        Panel3->hide();
        OpenCloseEditPanel1->setText("Open Edit Panel");
        return;
    }
    setStatus("");
    makeAtLeast765High();
    Panel3->show();
    OpenCloseEditPanel1->setText("Close Edit Panel");
}

void TForm1::ReReadList1Click()
{
    guard([&] { getFileClick(m_comments, *this, m_state.userdir); });
}

void TForm1::showNames1Click()
{
    setStatus("");
    QSize outer = outerSize(this);
    if (ListView2->isVisible()) {
        ListView2->hide();
        ListView2->setFixedWidth(0);
        setOuterSize(this, kNarrowWidth, outer.height());
        showNames1->setText("Show Comments List");
    } else {
        ListView2->setFixedWidth(kCommentListWidth);
        ListView2->show();
        setOuterSize(this, kWideWidth, outer.height());
        showNames1->setText("Hide Comments List");
    }
}

void TForm1::loadcommentsClick()
{
    unlessBusy([&] { loadComments(m_channels, m_comments, *this); });
}

void TForm1::ClearCommentTexts1Click()
{
    unlessBusy([&] { clearCommentTexts(m_channels); });
}

void TForm1::Errors1Click()
{
    if (m_form3) {
        m_form3->show();
        m_form3->raise();
    }
}

void TForm1::helpabout1Click()
{
    if (m_form2) {
        m_form2->show();
        m_form2->raise();
    }
}

void TForm1::ExportChirpCsv1Click()
{
    guard([&] { exportChirpCsv(m_channels, *this); });
}

void TForm1::ImportChirpCsv1Click()
{
    unlessBusy([&] { importChirpCsv(m_channels, *this); });
}

// ---------------------------------------------------------------------------------------------
// Edit panel

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Panel1 && event->type() == QEvent::Resize) {
        Panel3->setGeometry(0, Panel1->height() - kEditPanelHeight, Panel1->width(),
                            kEditPanelHeight);
    } else if (event->type() == QEvent::MouseButtonDblClick &&
               (watched == ListView1->viewport() || watched == ListView2->viewport())) {
        // Let the view select the row under the pointer first, then open it.
        bool handled = QMainWindow::eventFilter(watched, event);
        QMetaObject::invokeMethod(this, &TForm1::ListView1DblClick, Qt::QueuedConnection);
        return handled;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::ListView1DblClick()
{
    makeAtLeast765High();
    Panel3->show();
    OpenCloseEditPanel1->setText("Close Edit Panel");
    guard([&] {
        std::optional<EditPanelRowView> view = readEditPanelRow(m_channels, selectedRow());
        if (!view)
            return;
        setWidgetText(Edit2, view->memLoc);
        setWidgetText(Edit3, view->tx);
        setWidgetText(Edit4, view->rx);
        setWidgetText(Edit5, view->mode);
        setWidgetText(Edit6, view->filter);
        Edit7->clear();
        setWidgetText(Edit8, view->rx);
        selectEntry(ComboBox1, 0);
        selectEntry(ComboBox2, view->modeIndex);
        selectEntry(ComboBox3, view->filterIndex);
        CheckBox1->setChecked(view->splitOn);
        setWidgetText(ccomment, view->comment);
    });
}

void TForm1::CheckBox1Click()
{
    CheckBox2->setEnabled(CheckBox1->isChecked());
}

void TForm1::CheckBox2Click()
{
    ComboBox1->setEnabled(CheckBox2->isChecked());
}

EditPanelInput TForm1::editPanelInput() const
{
    EditPanelInput input;
    input.rxText = widgetText(Edit8);
    input.txBaseText = widgetText(Edit7);
    input.splitOn = CheckBox1->isChecked();
    input.manualSelect = CheckBox2->isChecked();
    input.offsetEntry = selectedEntry(ComboBox1);
    input.modeEntry = selectedEntry(ComboBox2).value_or(std::string());
    input.filterEntry = selectedEntry(ComboBox3).value_or(std::string());
    return input;
}

void TForm1::setEditPanelTexts(const EditPanelTexts& texts)
{
    setWidgetText(Edit4, texts.rx);
    setWidgetText(Edit7, texts.txBase);
    setWidgetText(Edit3, texts.tx);
    setWidgetText(Edit5, texts.mode);
    setWidgetText(Edit6, texts.filter);
}

void TForm1::Button2Click()
{
    guard([&] { setEditPanelTexts(refrashEditPanel(editPanelInput(), m_state)); });
}

void TForm1::changeClick()
{
    unlessBusy([&] {
        setEditPanelTexts(changeEditPanelLine(m_channels, selectedRow(), widgetText(Edit2),
                                              editPanelInput(), m_state));
    });
}

} // namespace memvane
