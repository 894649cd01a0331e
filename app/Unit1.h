#pragma once
// Form1, the main window: the left control panel (Panel1) with the status label, the file-name
// boxes, the command buttons and the hidden edit panel (Panel3); the channel list (ListView1)
// and the hidden comment list (ListView2) to the right; the main menu; the serial component
// ComPort1 and the program state.
//
// Every handler runs on the user-interface thread, gathers what its controls hold, calls the
// logic in channels/, files/ or civ/ and shows the result; errors that leave the logic go to
// the application's error handler (a message box; the silent abort shows nothing). TForm1 is
// also the program's UiEffects: status label, error list, and the message boxes and file dialogs
// of its dialog service (TForm1Options::dialogs).
//
// Where it is: the handlers here in Unit1.cpp; construction, controls and menu in
// Form1Construction.cpp; the UiEffects side in Form1Effects.cpp.
//
// Start-up: the constructor builds the controls, gives ComPort1 its design values and ends the
// component's loading (which opens COM1), then FormCreate posts event 1325; the deferred
// initialisation runs when the event loop delivers it, after the window is visible. A failed
// open of COM1 is held back until then: when the port "ComPort.ini" chooses opens, nothing is
// shown; otherwise one message about the port in use. Reads and
// writes of the radio process events between channels; while one runs (ProgramState::busy)
// every command that talks to the radio or changes the rows, the port or the radio address is
// ignored (unlessBusy), and a close request stops the operation at its next channel and closes
// the window once it has returned.

#include "channels/ChannelList.h"
#include "channels/EditPanel.h"
#include "channels/RadioContext.h"
#include "civ/PortIo.h"
#include "core/ProgramState.h"
#include "core/UiEffects.h"
#include "files/CommentList.h"
#include "serial/CPort.h"
#include "serial/ComBackend.h"

#include <QMainWindow>

#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace memvane {

class ChannelListModel;
class ClickLabel;
class CommentListModel;
class QtDialogs;
class ScopedExceptionHandler;
class TForm2;
class TForm3;

// Where the deferred initialisation finds the program's folder, and what tests replace.
struct TForm1Options
{
    // The program's folder with its trailing '/'; settingsFolder() when empty.
    std::string exedir;
    // ProgramState::userdir: set for an installed copy, empty for a copy run from its folder.
    std::string userdir;
    // Link time of the executable, seconds since 1970 UTC (shown in the title).
    std::time_t buildEpoch = 0;
    // Shows the message boxes and file dialogs; the window's own (QtDialogs) when null. Tests
    // put a scripted fake here.
    UiDialogs* dialogs = nullptr;
    // The line the radio commands use instead of ComPort1 (tests).
    PortIo* portIo = nullptr;
    // The system layer under ComPort1; the platform's when null (tests map port names).
    std::shared_ptr<TComBackend> comBackend;
};

class TForm1 : public QMainWindow, public UiEffects
{
    Q_OBJECT
public:
    // Private window message the creation handler posts to run the deferred initialisation.
    static constexpr int kDeferredInitEvent = 1325;

    explicit TForm1(TForm1Options options = {});
    ~TForm1() override;

    // The help and error list windows; the program entry creates them after Form1.
    void setWindows(TForm2* form2, TForm3* form3);

    ProgramState& state() { return m_state; }
    ChannelList& channels() { return m_channels; }
    CommentList& comments() { return m_comments; }
    TComPort& comPort() { return ComPort1; }
    // True once the deferred initialisation has run (whether or not it ended early).
    bool initialised() const { return m_initialised; }

    // UiEffects.
    void setStatus(const std::string& text) override;
    std::string status() const override;
    void processEvents() override;
    void appendErrorLine(const std::string& line) override;
    void clearErrorList() override;
    void setErrorsEnabled(bool enabled) override;
    void showMessage(const std::string& text) override;
    void showReport(const std::string& summary, const std::vector<std::string>& lines) override;
    bool askOkCancel(const std::string& text) override;
    std::optional<std::string> runSaveDialog(const FileDialogRequest& request) override;
    std::optional<std::string> runOpenDialog(const FileDialogRequest& request) override;
    void hideEditPanel() override;

    // The application's error handler while this window lives: the message in a message box,
    // nothing for the silent abort.
    void reportException(const std::exception& error);

    // The command exchange on ComPort1 (or the test line) with this window's state and effects.
    std::string ccomportwrite(const std::string& word, const std::string& look1);

    // The serial component. Public like the form's other components.
    TComPort ComPort1;

public Q_SLOTS:
    void MemoryreadClick();
    void ReadSelected();
    void STOPReadingClick();
    void WritetoradioClick();
    void gotochanClick();
    void AllWriteClick();
    void AllNoWriteClick();
    void ClearListClick();
    void savetofileClick();
    void ReadfromFileClick();
    void SelectFileClick();
    void Memo1Change();
    void ComPortSelectClick();
    void IC7061Click();
    void IC706mkii1Click();
    void IC706MKIIG1Click();
    void FastExchange1Click();
    void OpenCloseEditPanel1Click();
    void ReReadList1Click();
    void showNames1Click();
    void loadcommentsClick();
    void ClearCommentTexts1Click();
    void Errors1Click();
    void helpabout1Click();
    void ExportChirpCsv1Click();
    void ImportChirpCsv1Click();
    void ListView1DblClick();
    void CheckBox1Click();
    void CheckBox2Click();
    void Button2Click();
    void changeClick();
    void FormCreate();

public:
    void ComPort1RxChar(TCustomComPort* Sender, int Count);
    // Stores "ComPort.ini" and closes the port; false when the user chose to keep the window
    // open after storing failed.
    bool FormClose();

    // Controls, named as in the window's design.
    QAction* commportselect1 = nullptr;
    QMenu* CIVAddress1 = nullptr;
    QAction* IC7061 = nullptr;
    QAction* IC706mkii1 = nullptr;
    QAction* IC706MKIIG1 = nullptr;
    QAction* FastExchange1 = nullptr; // checkable; stored in "ComPort.ini" ([Memvane])
    QAction* OpenCloseEditPanel1 = nullptr;
    QAction* ClearList1 = nullptr;
    QMenu* CommentTexts1 = nullptr;
    QAction* ReReadList1 = nullptr;
    QAction* showNames1 = nullptr;
    QAction* test31 = nullptr;
    QAction* ClearCommentTexts1 = nullptr;
    QAction* Errors1 = nullptr;
    QAction* helpabout1 = nullptr;
    QMenu* ChirpCsv1 = nullptr;
    QAction* ExportChirpCsv1 = nullptr;
    QAction* ImportChirpCsv1 = nullptr;

    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Memo1 = nullptr;
    QLineEdit* Memo2 = nullptr;
    QPushButton* Memoryread = nullptr;
    QPushButton* STOPReading = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* ReadfromFile = nullptr;
    QPushButton* SelectFile = nullptr;
    QPushButton* savetofile = nullptr;
    QPushButton* AllWrite = nullptr;
    QPushButton* AllNoWrite = nullptr;
    QPushButton* Writetoradio = nullptr;
    QPlainTextEdit* Memo3 = nullptr;
    QPushButton* gotochan = nullptr;

    QFrame* Panel3 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* Edit2 = nullptr;
    ClickLabel* Label4 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit8 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* change = nullptr;
    QLineEdit* ccomment = nullptr;

    QFrame* Panel2 = nullptr;
    QFrame* Panel5 = nullptr;
    QTableView* ListView1 = nullptr;
    QTableView* ListView2 = nullptr;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void buildControlPanel();
    void buildEditPanel();
    void buildLists();
    void loadComPortDesign();
    void deferredInitialisation();
    void selectAddress(const char* civaddr, const char* civhex);
    void makeAtLeast765High();
    void setEditPanelTexts(const EditPanelTexts& texts);
    EditPanelInput editPanelInput() const;
    std::optional<size_t> selectedRow() const;
    RadioContext radioContext();
    PortIo& portIo();
    // Runs a handler's body; anything it throws goes to the application's error handler.
    template <class F> void guard(F&& body);
    // The one busy policy. A read or write of the radio lets events in between channels; while
    // it runs (ProgramState::busy) every command that talks to the radio or changes the rows,
    // the port or the radio address is ignored. Such a handler runs its body through here, which
    // also hands its errors to the application's error handler.
    template <class F> void unlessBusy(F&& body);
    // After a read or write returned: a close asked for meanwhile is carried out now.
    void finishRadioOperation();
    // A read or write of the radio: unless busy, then finishRadioOperation.
    template <class Operation> void radioOperation(Operation operation);

    // The window's design sizes.
    static constexpr int kControlPanelWidth = 193;
    static constexpr int kEditPanelHeight = 327;
    static constexpr int kEditPanelMinWindowHeight = 765;
    static constexpr int kNarrowWidth = 890;
    static constexpr int kWideWidth = 1180;
    static constexpr int kCommentListWidth = 300;

    TForm1Options m_options;
    ProgramState m_state;
    ChannelList m_channels;
    CommentList m_comments;
    std::unique_ptr<PortIo> m_comPortIo;
    ChannelListModel* m_channelModel = nullptr;
    CommentListModel* m_commentModel = nullptr;
    TForm2* m_form2 = nullptr;
    TForm3* m_form3 = nullptr;
    std::unique_ptr<QtDialogs> m_qtDialogs;
    UiDialogs* m_dialogs = nullptr; // m_options.dialogs or m_qtDialogs
    // Installed by the constructor; its end brings back the handler from before this window.
    std::unique_ptr<ScopedExceptionHandler> m_errorHandler;
    std::string m_status;
    bool m_initialised = false;
    // The design values' open of COM1 failed; held back until the deferred initialisation.
    bool m_designOpenFailed = false;
    bool m_centred = false;
    bool m_closing = false;
};

// The program's three windows, created in the order of the program entry: Form1, Form2, Form3.
struct MainWindows
{
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
    MainWindows();
    MainWindows(MainWindows&&) noexcept;
    ~MainWindows();
};
MainWindows createMainWindows(TForm1Options options = {});

} // namespace memvane
