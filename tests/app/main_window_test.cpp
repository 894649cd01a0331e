// The main window's controls and the wiring of its buttons and menu items, driven by name the
// way a user would (click, trigger, double click) against an in-process radio, temporary files
// and the scripted dialogs.

#include "tests/app/Form1Fixture.h"

#include "app/WindowUtil.h"
#include "core/Errors.h"
#include "core/ExceptionHandler.h"

#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>

namespace memvane::test {
namespace {

using MainWindowTest = Form1Test;

void doubleClick(QWidget* viewport, QPoint at)
{
    QPointF local(at);
    QPointF global(viewport->mapToGlobal(at));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, local, global, Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
}

void clickLabel(QWidget* label)
{
    QPointF at(label->width() / 2.0, label->height() / 2.0);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, label->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(label, &event);
    }
}

std::vector<std::string> errorLines(TForm3* form3)
{
    std::vector<std::string> lines;
    for (const QString& l : form3->Memo1->toPlainText().split('\n'))
        lines.push_back(l.toStdString());
    return lines;
}

TEST_F(MainWindowTest, ControlPanelHoldsEveryControlAtItsPlace)
{
    start();
    struct ButtonPlace
    {
        const char* name;
        const char* caption;
        QRect geometry;
    };
    const ButtonPlace buttons[] = {
        {"Memoryread", "Read Radio Memory", {17, 81, 150, 25}},
        {"STOPReading", "STOP Reading Memory", {17, 109, 150, 25}},
        {"Button1", "Re-Read Selected Chans", {18, 137, 149, 25}},
        {"ReadfromFile", "Read from File Name ^", {17, 165, 150, 25}},
        {"SelectFile", "Select and Load File", {17, 194, 150, 25}},
        {"savetofile", "Save to File", {16, 223, 150, 25}},
        {"AllWrite", "All Write", {17, 252, 70, 25}},
        {"AllNoWrite", "All No Write", {95, 252, 70, 25}},
        {"Writetoradio", "Write to Radio", {17, 281, 150, 25}},
        {"gotochan", "Go To Chan", {93, 342, 73, 25}},
    };
    for (const ButtonPlace& s : buttons) {
        QPushButton* b = button(s.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text(), s.caption) << s.name;
        EXPECT_EQ(b->geometry(), s.geometry) << s.name;
        EXPECT_EQ(b->parentWidget(), form->Panel1) << s.name;
        EXPECT_TRUE(b->isVisible()) << s.name;
    }
    EXPECT_EQ(form->Panel1->width(), 193);
    EXPECT_EQ(form->Label1->geometry(), QRect(16, 17, 150, 13));
    EXPECT_TRUE(form->Label1->font().bold());
    EXPECT_EQ(form->Label1->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(form->Label2->text(), "File Name");
    EXPECT_EQ(form->Label2->pos(), QPoint(68, 40));
    EXPECT_EQ(form->Memo1->geometry(), QRect(17, 55, 119, 20));
    EXPECT_TRUE(form->Memo1->alignment() & Qt::AlignRight);
    EXPECT_FALSE(form->Memo1->isReadOnly());
    EXPECT_EQ(form->Memo2->geometry(), QRect(136, 55, 30, 20));
    EXPECT_TRUE(form->Memo2->isReadOnly());
    EXPECT_EQ(form->Memo3->geometry(), QRect(15, 312, 151, 24));
    EXPECT_FALSE(form->Memo3->isVisible());

    // The edit panel waits hidden at the bottom of the control panel.
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_EQ(form->Panel3->height(), 327);
    EXPECT_EQ(form->Panel3->geometry().bottom(), form->Panel1->height() - 1);
    EXPECT_FALSE(form->ListView2->isVisible());
    EXPECT_TRUE(form->ListView1->isVisible());
    EXPECT_GE(form->ListView1->mapTo(form, QPoint(0, 0)).x(), 193);
}

TEST_F(MainWindowTest, MenuHasItsCaptionsInOrder)
{
    start();
    QStringList top;
    for (QAction* a : form->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, (QStringList{"Comm Port Select ", "CI-V Address", "Open Edit Panel",
                                " Clear List ", "Comment Texts", "Errors", "help/about",
                                "CHIRP CSV"}));
    QStringList comments;
    for (QAction* a : form->CommentTexts1->actions())
        comments << a->text() + "|" + a->objectName();
    EXPECT_EQ(comments, (QStringList{"Re Read List|ReReadList1", "Show Comments List|showNames1",
                                     "Load Comments from List|test31",
                                     "Clear Comment Texts|ClearCommentTexts1"}));
    QStringList civ;
    for (QAction* a : form->CIVAddress1->actions())
        civ << (a->isSeparator() ? "-" : a->text() + "|" + a->objectName());
    EXPECT_EQ(civ,
              (QStringList{"IC-706               - 48H|IC7061", "IC-706MKII       - 4EH|IC706mkii1",
                           "IC-706MKIIG - 58H|IC706MKIIG1", "-", "Fast exchange|FastExchange1",
                           "Back up before writing|BackupBeforeWrite1",
                           "Verify after writing|VerifyAfterWrite1", "-",
                           "Restore Backup...|RestoreBackup1"}));
    for (const char* name : {"FastExchange1", "BackupBeforeWrite1", "VerifyAfterWrite1"}) {
        EXPECT_TRUE(action(name)->isCheckable()) << name;
        EXPECT_FALSE(action(name)->isChecked()) << name;
    }
    EXPECT_FALSE(action("Errors1")->isEnabled());
    EXPECT_TRUE(action("IC706MKIIG1")->isChecked());
    for (const char* name : {"commportselect1", "OpenCloseEditPanel1", "ClearList1", "helpabout1"})
        EXPECT_NE(action(name), nullptr);
}

TEST_F(MainWindowTest, ReadRadioMemoryFillsTheListAndReportsTheCount)
{
    start();
    button("Memoryread")->click();
    ASSERT_EQ(form->channels().size(), 99u);
    EXPECT_EQ(form->ListView1->model()->rowCount(), 99);
    EXPECT_EQ(radio.frames.size(), 99u * 16u);
    EXPECT_EQ(form->channels().row(41).texts,
              (std::vector<std::string>{"Mem 42", "0145.500000", "0145.500000", "FM", "Normal",
                                        "Duplex Off", "", "00.6000"}));
    EXPECT_EQ(form->Label1->text(), "99 Memory Locations Read ");
    EXPECT_EQ(form->ListView1->model()->index(41, 1).data().toString(), "Mem 42");
    EXPECT_FALSE(form->state().busy);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainWindowTest, SilentRadioFillsTheErrorListAndEnablesErrors)
{
    start();
    radio.silent = true;
    button("Memoryread")->click();
    EXPECT_TRUE(form->channels().empty());
    EXPECT_TRUE(dialogs.messages.empty()); // the silent abort shows nothing
    EXPECT_TRUE(action("Errors1")->isEnabled());
    std::vector<std::string> lines = errorLines(windows->form3.get());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Mem 1 Command sent to radio was FEFE58E008FD");
    EXPECT_EQ(lines[1], "Mem 1 No return from Radio!! - Check ComPort and CI-V settings.");

    EXPECT_FALSE(windows->form3->isVisible());
    action("Errors1")->trigger();
    EXPECT_TRUE(windows->form3->isVisible());
    EXPECT_EQ(windows->form3->windowTitle(), "Error List");

    // The next full read empties the list and disables "Errors" first.
    radio.silent = false;
    button("Memoryread")->click();
    EXPECT_FALSE(action("Errors1")->isEnabled());
    EXPECT_TRUE(windows->form3->Memo1->toPlainText().isEmpty());
}

TEST_F(MainWindowTest, StopEndsAReadAndOtherListCommandsWaitMeanwhile)
{
    start();
    radio.onWrite = [this](int frame) {
        if (frame != 5)
            return;
        // Clicked while memory 1 is being read; handled when memory 2 lets events in.
        QMetaObject::invokeMethod(action("ClearList1"), &QAction::trigger, Qt::QueuedConnection);
        QMetaObject::invokeMethod(button("ReadfromFile"), &QPushButton::click,
                                  Qt::QueuedConnection);
        QMetaObject::invokeMethod(button("STOPReading"), &QPushButton::click, Qt::QueuedConnection);
    };
    button("Memoryread")->click();
    EXPECT_EQ(form->channels().size(), 2u);
    EXPECT_EQ(form->Label1->text(), "2 Memory Locations Read ");
    EXPECT_TRUE(dialogs.messages.empty()); // the file load did not run ("File not found")
}

TEST_F(MainWindowTest, EveryCommandOnRowsOrTheRadioIsIgnoredWhileAReadRuns)
{
    writeFile(cwd.path() / "names.txt", "0145.500000,Net\r\n");
    start();
    const std::vector<std::string> kept = {"Mem 3",  "0145.500000", "0145.500000", "FM",
                                           "Normal", "Duplex Off",  "club",        "00.6000"};
    addRow({"Mem 1", "a", "b", "c", "d", "e", "f", "g"}, true);
    addRow({"Mem 2", "a", "b", "c", "d", "e", "f", "g"}, true);
    addRow(kept);
    action("OpenCloseEditPanel1")->trigger();
    form->Edit8->setText("14.2");
    selectRow(2);
    auto later = [this](auto&& fn) { QMetaObject::invokeMethod(form, fn, Qt::QueuedConnection); };
    radio.onWrite = [&](int frame) {
        if (frame != 5)
            return;
        // Clicked while memory 1 is read; handled when memory 2 lets events in.
        for (const char* name : {"AllWrite", "AllNoWrite", "change", "ReadfromFile", "SelectFile",
                                 "Memoryread", "Button1", "Writetoradio", "gotochan"})
            later([this, name] { button(name)->click(); });
        for (const char* name : {"ClearCommentTexts1", "test31", "ClearList1", "IC7061"})
            later([this, name] { action(name)->trigger(); });
        later([this] { clickLabel(form->Label4); }); // the edit panel's "A": untick all
    };
    button("Button1")->click();

    EXPECT_EQ(form->Label1->text(), "2 Memory Locations Read ");
    ASSERT_EQ(radio.frames.size(), 2u * 16);
    for (const std::string& f : radio.frames)
        EXPECT_EQ(static_cast<unsigned char>(f.at(2)), 0x58);
    EXPECT_EQ(form->state().civhex, "58");
    EXPECT_TRUE(action("IC706MKIIG1")->isChecked());
    EXPECT_FALSE(action("IC7061")->isChecked());
    ASSERT_EQ(form->channels().size(), 3u);
    EXPECT_TRUE(form->channels().row(0).write && form->channels().row(1).write);
    EXPECT_EQ(form->channels().row(1).texts.at(1), "0145.500000");
    EXPECT_EQ(form->channels().row(2), (ChannelRow{false, kept}));
    EXPECT_TRUE(form->Panel3->isVisible());
    EXPECT_TRUE(dialogs.messages.empty());

    // Once the read is over they act again.
    radio.onWrite = nullptr;
    button("AllWrite")->click();
    EXPECT_TRUE(form->channels().row(2).write);
    action("IC7061")->trigger();
    EXPECT_EQ(form->state().civhex, "48");
}

TEST_F(MainWindowTest, WriteReReadAndGoToChanUseTheTickedOrSelectedRows)
{
    start();
    addRow({"Mem 3", "0145.000000", "0145.600000", "FM", "Normal", "Duplex --", "", "00.6000"});
    addRow({"Mem 1A", "0007.050000", "0007.050000", "LSB", "Wide", "Duplex Off", "", "00.0000"});
    button("AllWrite")->click();
    button("Writetoradio")->click();
    EXPECT_EQ(radio.frames.size(), 49u); // the repeater row sets its offset: 25 frames
    EXPECT_EQ(radio.frames[1 + 25],
              InstantRadio::bytes({0xFE, 0xFE, 0x58, 0xE0, 0x08, 0x01, 0x00, 0xFD}));
    EXPECT_EQ(form->Label1->text(), "2 Memory Locations Writen ");
    EXPECT_TRUE(form->channels().row(0).write && form->channels().row(1).write);

    radio.frames.clear();
    form->channels().setWrite(0, false);
    button("Button1")->click(); // re-reads row 2 as memory 2
    EXPECT_EQ(radio.frames.size(), 16u);
    EXPECT_EQ(form->channels().row(1).texts[0], "Mem 2");
    EXPECT_EQ(form->Label1->text(), "1 Memory Locations Read ");

    radio.frames.clear();
    button("gotochan")->click(); // nothing selected: nothing sent
    EXPECT_TRUE(radio.frames.empty());
    selectRow(0);
    button("gotochan")->click();
    ASSERT_EQ(radio.frames.size(), 2u);
    EXPECT_EQ(radio.frames[0], InstantRadio::bytes({0xFE, 0xFE, 0x58, 0xE0, 0x08, 0xFD}));
    EXPECT_EQ(radio.frames[1],
              InstantRadio::bytes({0xFE, 0xFE, 0x58, 0xE0, 0x08, 0x00, 0x03, 0xFD}));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainWindowTest, ListCommandsHideTheEditPanelAndLeaveItsCaption)
{
    start();
    addRow({"Mem 1"});
    addRow({"Mem 2"});
    auto openPanel = [this] {
        if (!form->Panel3->isVisible())
            action("OpenCloseEditPanel1")->trigger();
        ASSERT_TRUE(form->Panel3->isVisible());
    };

    openPanel();
    button("AllWrite")->click();
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_TRUE(form->channels().row(0).write && form->channels().row(1).write);
    EXPECT_EQ(form->ListView1->model()->index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(action("OpenCloseEditPanel1")->text(), "Close Edit Panel");

    openPanel();
    button("AllNoWrite")->click();
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_FALSE(form->channels().row(0).write || form->channels().row(1).write);

    button("AllWrite")->click();
    openPanel();
    clickLabel(form->Label4); // the edit panel's "A"
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_FALSE(form->channels().row(0).write || form->channels().row(1).write);

    openPanel();
    action("ClearList1")->trigger();
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_TRUE(form->channels().empty());
    EXPECT_EQ(form->ListView1->model()->rowCount(), 0);
    EXPECT_EQ(action("OpenCloseEditPanel1")->text(), "Close Edit Panel");

    // On an empty list the tick commands only hide the panel.
    openPanel();
    button("AllWrite")->click();
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_TRUE(form->channels().empty());
}

TEST_F(MainWindowTest, PortSelectHidesTheEditPanelAndRunsTheSetupDialog)
{
    start();
    action("OpenCloseEditPanel1")->trigger();
    ASSERT_TRUE(form->Panel3->isVisible());
    bool dialogSeen = false;
    std::function<void(int)> cancel = [&](int triesLeft) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(w);
            if (dialog && dialog->isVisible()) {
                dialogSeen = true;
                dialog->reject();
                return;
            }
        }
        if (triesLeft > 0)
            QTimer::singleShot(10, [&, triesLeft] { cancel(triesLeft - 1); });
    };
    QTimer::singleShot(0, [&] { cancel(300); });
    action("commportselect1")->trigger();
    // Either the dialog ran, or the machine has no serial port and said so.
    EXPECT_TRUE(dialogSeen || !dialogs.messages.empty());
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_EQ(action("OpenCloseEditPanel1")->text(), "Close Edit Panel");
    EXPECT_TRUE(form->comPort().Connected()); // Cancel changes nothing
}

TEST_F(MainWindowTest, CheckingARowInTheListSetsItsWriteFlag)
{
    start();
    addRow({"Mem 1"});
    QAbstractItemModel* model = form->ListView1->model();
    ASSERT_TRUE(model->setData(model->index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(form->channels().row(0).write);
}

TEST_F(MainWindowTest, CommentListToggleChangesCaptionVisibilityAndWidth)
{
    start();
    QAction* toggle = action("showNames1");
    form->setStatus("busy text");
    toggle->trigger();
    EXPECT_TRUE(form->ListView2->isVisible());
    EXPECT_EQ(form->ListView2->width(), 300);
    EXPECT_EQ(outerSize(form).width(), 1180);
    EXPECT_EQ(outerSize(form).height(), 765);
    EXPECT_EQ(toggle->text(), "Hide Comments List");
    EXPECT_EQ(form->Label1->text(), "");
    QStringList captions;
    for (int c = 0; c < 3; ++c)
        captions << form->ListView2->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{"", "Freq VFO B", "Comment"}));
    // The channel list keeps the rest, left of the comment list.
    EXPECT_LT(form->ListView1->mapTo(form, QPoint(form->ListView1->width(), 0)).x(),
              form->ListView2->mapTo(form, QPoint(1, 0)).x());

    toggle->trigger();
    EXPECT_FALSE(form->ListView2->isVisible());
    EXPECT_EQ(form->ListView2->width(), 0);
    EXPECT_EQ(outerSize(form).width(), 890);
    EXPECT_EQ(toggle->text(), "Show Comments List");
}

TEST_F(MainWindowTest, CommentsAreLoadedMergedClearedAndReRead)
{
    writeFile(cwd.path() / "names.txt", "0145.500000,Calling channel\r\n0145.500000,Net night\r\n");
    start();
    EXPECT_EQ(form->ListView2->model()->rowCount(), 2);
    EXPECT_EQ(form->ListView2->model()->index(1, 2).data().toString(), "Net night");
    addRow({"Mem 1", "0145.000000", "0145.500000", "FM", "Normal", "Duplex --", "old", "00.6000"});
    addRow({"Mem 2", "0007.100000", "0007.100000", "LSB", "Wide", "Duplex Off", "gone", "00.0000"});

    action("test31")->trigger();
    EXPECT_EQ(form->channels().row(0).texts[6], "Net night");
    EXPECT_EQ(form->channels().row(1).texts[6], "");
    EXPECT_EQ(form->ListView1->model()->index(0, 7).data().toString(), "Net night");

    action("ClearCommentTexts1")->trigger();
    EXPECT_EQ(form->channels().row(0).texts[6], "");

    writeFile(cwd.path() / "names.txt", "0007.100000,Forty\r\n");
    EXPECT_EQ(form->ListView2->model()->rowCount(), 2); // not until "Re Read List"
    action("ReReadList1")->trigger();
    EXPECT_EQ(form->ListView2->model()->rowCount(), 1);
    EXPECT_EQ(form->ListView2->model()->index(0, 1).data().toString(), "0007.100000");

    // A short row stops the filling with its message.
    addRow({"Mem 3", "0007.100000", "0007.100000"});
    action("test31")->trigger();
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Trouble reading Coments."});
}

TEST_F(MainWindowTest, FileButtonsLoadChooseAndSave)
{
    start();
    writeFile(exe.path() / "Default.txt",
              "true,Mem 5,145.5,145.5,FM,Normal,Duplex Off,,00.0000\r\nfalse,Mem 7\r\n");
    button("ReadfromFile")->click();
    ASSERT_EQ(form->channels().size(), 2u);
    EXPECT_TRUE(form->channels().row(0).write);
    EXPECT_EQ(form->channels().row(0).texts[1], "0145.500000");

    // A name typed into the box is the file loaded next.
    form->Memo1->setText("  week1 ");
    EXPECT_EQ(form->state().basename, "week1.txt");

    TempDir elsewhere;
    writeFile(elsewhere.path() / "notes.doc",
              "false,Mem 9,7.1,7.1,LSB,Wide,Duplex Off,,00.0000\r\n");
    dialogs.openAnswers = {elsewhere.file("notes.doc")};
    button("SelectFile")->click();
    EXPECT_EQ(form->Memo1->text(), "notes");
    EXPECT_EQ(form->Memo2->text(), ".doc");
    EXPECT_EQ(form->state().basename, "notes.doc");
    ASSERT_EQ(form->channels().size(), 1u);
    EXPECT_EQ(form->channels().row(0).texts[0], "Mem 9");

    dialogs.saveAnswers = {elsewhere.file("saved.txt")};
    button("savetofile")->click();
    EXPECT_EQ(readFile(elsewhere.path() / "saved.txt"),
              "false,Mem 9,0007.100000,0007.100000,LSB,Wide,Duplex Off,,00.0000\r\n");
    ASSERT_EQ(dialogs.saveDialogs.size(), 1u);
    EXPECT_EQ(dialogs.saveDialogs[0].title, "Save your text or word file");

    dialogs.saveAnswers = {std::nullopt};
    button("savetofile")->click();
    EXPECT_EQ(dialogs.messages.back(), "Save file was cancelled");

    // A missing file: the message, and the rows stay.
    form->Memo1->setText("missing");
    button("ReadfromFile")->click();
    EXPECT_EQ(dialogs.messages.back(), "File not found");
    EXPECT_EQ(form->channels().size(), 1u);
}

TEST_F(MainWindowTest, ChirpCsvMenuImportsWithItsReportAndExports)
{
    start();
    writeFile(cwd.path() / "list.csv", "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq\r\n"
                                       "3,North,145.775,-,0.6,Tone,88.5\r\n");
    dialogs.openAnswers = {cwd.file("list.csv")};
    action("ImportChirpCsv1")->trigger();
    ASSERT_EQ(form->channels().size(), 1u);
    EXPECT_EQ(form->channels().row(0).texts,
              (std::vector<std::string>{"Mem 3", "0145.175000", "0145.775000", "FM", "Normal",
                                        "Duplex --", "North", "00.6000", "North"}));
    EXPECT_EQ(form->ListView1->model()->rowCount(), 1);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("Mem 3: CTCSS 88.5 Hz"), std::string::npos);

    dialogs.saveAnswers = {cwd.file("out.csv")};
    action("ExportChirpCsv1")->trigger();
    EXPECT_NE(readFile(cwd.path() / "out.csv").find("\r\n3,North,145.775000,-,0.600000,"),
              std::string::npos);
    EXPECT_EQ(form->Label1->text(), "1 Rows Exported ");
}

TEST_F(MainWindowTest, EditPanelCaptionFollowsThePanelNotItself)
{
    start();
    QAction* item = action("OpenCloseEditPanel1");
    setOuterSize(form, 890, 500);
    form->setStatus("something");

    item->trigger();
    EXPECT_TRUE(form->Panel3->isVisible());
    EXPECT_EQ(item->text(), "Close Edit Panel");
    EXPECT_EQ(outerSize(form).height(), 765);
    EXPECT_EQ(form->Label1->text(), "");
    // Opened from the menu, the fields keep their design texts.
    EXPECT_EQ(form->Edit2->text(), "Mem ");
    EXPECT_EQ(form->Edit8->text(), "Rx");

    item->trigger();
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_EQ(item->text(), "Open Edit Panel");

    // Hidden by another command, the caption still offers to close; the next click opens.
    item->trigger();
    button("AllNoWrite")->click();
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_EQ(item->text(), "Close Edit Panel");
    item->trigger();
    EXPECT_TRUE(form->Panel3->isVisible());
    EXPECT_EQ(item->text(), "Close Edit Panel");

    // A taller window is left alone.
    item->trigger();
    setOuterSize(form, 890, 900);
    item->trigger();
    EXPECT_EQ(outerSize(form).height(), 900);
}

TEST_F(MainWindowTest, EditPanelHasItsControlsInOrder)
{
    start();
    action("OpenCloseEditPanel1")->trigger();
    struct BoxText
    {
        const char* name;
        QString text;
    };
    const BoxText texts[] = {{"Edit2", "Mem "},      {"Edit3", "Tx"},   {"Edit4", "Rx"},
                             {"Edit8", "Rx"},        {"Edit5", "Mode"}, {"Edit6", "Width"},
                             {"ccomment", "Comment"}};
    for (const BoxText& s : texts)
        EXPECT_EQ(child<QLineEdit>(s.name)->text(), s.text) << s.name;
    EXPECT_EQ(form->Edit7->text(), "Tx");
    EXPECT_FALSE(form->Edit7->isVisible());
    for (const char* ro : {"Edit2", "Edit3", "Edit4", "Edit5", "Edit6"})
        EXPECT_TRUE(child<QLineEdit>(ro)->isReadOnly()) << ro;
    EXPECT_FALSE(form->Edit8->isReadOnly());
    EXPECT_EQ(form->Label3->text(), "Actual                  Edit & change");
    EXPECT_EQ(form->Label6->text(), "VFO B = RX");
    EXPECT_EQ(form->Label4->text(), "A");
    EXPECT_EQ(form->Label5->text(), "B");
    EXPECT_EQ(form->CheckBox1->text(), "Split/Duplex On  ");
    EXPECT_EQ(form->CheckBox2->text(), "Manual Select");
    EXPECT_EQ(form->Button2->text(), "Refrash");
    EXPECT_EQ(form->change->text(), "Change Line");
    EXPECT_EQ(form->ComboBox2->currentText(), "LSB");
    EXPECT_EQ(form->ComboBox3->currentText(), "Wide");
    EXPECT_EQ(form->ComboBox1->count(), 10);

    // Top to bottom: heading, note, location, A, B, mode, filter, the two boxes, buttons,
    // comment; the offset list right of "Manual Select", "Refrash" left of "Change Line".
    QWidget* order[] = {form->Label3,    form->Label6,  form->Edit2,   form->Edit3,
                        form->Edit4,     form->Edit5,   form->Edit6,   form->CheckBox1,
                        form->CheckBox2, form->Button2, form->ccomment};
    for (size_t i = 1; i < std::size(order); ++i)
        EXPECT_GT(order[i]->y(), order[i - 1]->y()) << order[i]->objectName().toStdString();
    EXPECT_GT(form->ComboBox1->x(), form->CheckBox2->x());
    EXPECT_GT(form->change->x(), form->Button2->x());
    EXPECT_EQ(form->Edit8->y(), form->Edit4->y());
    EXPECT_GT(form->Edit8->x(), form->Edit4->x());
    for (QWidget* w : form->Panel3->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(form->Panel3->rect().contains(w->geometry())) << w->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, DoubleClickOpensTheRowAndChangeLineWritesTheSelectedRow)
{
    start();
    addRow(
        {"Mem 5", "0145.000000", "0145.600000", "Wide FM", "narrow", "Duplex --", "", "00.6000"});
    addRow({"Mem 9", "0007.100000", "0007.100000", "LSB", "Wide", "Duplex Off", "keep", "00.0000"});
    form->resize(form->width(), 500);
    QRect rowRect = form->ListView1->visualRect(form->ListView1->model()->index(0, 2));
    doubleClick(form->ListView1->viewport(), rowRect.center());
    ASSERT_TRUE(processUntil([this] { return form->Panel3->isVisible(); }));
    EXPECT_EQ(action("OpenCloseEditPanel1")->text(), "Close Edit Panel");
    EXPECT_EQ(outerSize(form).height(), 765);
    EXPECT_EQ(form->Edit2->text(), "Mem 5");
    EXPECT_EQ(form->Edit3->text(), "0145.000000");
    EXPECT_EQ(form->Edit4->text(), "0145.600000");
    EXPECT_EQ(form->Edit8->text(), "0145.600000");
    EXPECT_EQ(form->Edit7->text(), "");
    EXPECT_EQ(form->ComboBox2->currentText(), "Wide FM");
    EXPECT_EQ(form->ComboBox3->currentText(), "Narrow");
    EXPECT_EQ(form->ccomment->text(), "Comment");
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_TRUE(form->CheckBox2->isEnabled()); // follows "Split/Duplex On  "

    form->CheckBox2->setChecked(true);
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    form->ComboBox1->setCurrentIndex(form->ComboBox1->findText("-5"));
    form->Edit8->setText("431");
    button("Button2")->click();
    EXPECT_EQ(form->Edit3->text(), "0426.000000");
    EXPECT_EQ(form->Edit4->text(), "0431.000000");
    EXPECT_EQ(form->state().editsplit, "Duplex +");
    EXPECT_FALSE(form->channels().row(0).write); // "Refrash" stores nothing

    // Unticking "Split/Duplex On  " disables "Manual Select" but leaves it ticked.
    form->CheckBox1->setChecked(false);
    EXPECT_FALSE(form->CheckBox2->isEnabled());
    EXPECT_TRUE(form->CheckBox2->isChecked());
    form->CheckBox1->setChecked(true);

    selectRow(1);
    button("change")->click();
    const ChannelRow& row = form->channels().row(1);
    EXPECT_TRUE(row.write);
    EXPECT_EQ(row.texts, (std::vector<std::string>{"Mem 5", "0426.000000", "0431.000000", "Wide FM",
                                                   "Narrow", "Duplex +", "keep", "00.0000"}));
    EXPECT_EQ(form->ListView1->model()->index(1, 2).data().toString(), "0426.000000");

    // A row whose mode is no entry leaves the mode list empty, and so does "Change Line".
    addRow({"Mem 7", "0007.100000", "0007.100000", "", "", "Duplex Off", "", ""});
    form->ListView1->selectRow(2);
    doubleClick(form->ListView1->viewport(),
                form->ListView1->visualRect(form->ListView1->model()->index(2, 1)).center());
    ASSERT_TRUE(processUntil([this] { return form->Edit2->text() == "Mem 7"; }));
    EXPECT_EQ(form->ComboBox2->currentText(), "");
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->CheckBox2->isEnabled());
    button("change")->click();
    EXPECT_EQ(form->channels().row(2).texts[3], "");
}

TEST_F(MainWindowTest, DoubleClickInTheCommentListOpensTheSelectedChannelRow)
{
    writeFile(cwd.path() / "names.txt", "0145.500000,Calling\r\n");
    start();
    addRow({"Mem 4", "0145.500000", "0145.500000", "FM", "Normal", "Duplex Off", "", "00.0000"});
    selectRow(0);
    action("showNames1")->trigger();
    QRect rowRect = form->ListView2->visualRect(form->ListView2->model()->index(0, 1));
    doubleClick(form->ListView2->viewport(), rowRect.center());
    ASSERT_TRUE(processUntil([this] { return form->Panel3->isVisible(); }));
    EXPECT_EQ(form->Edit2->text(), "Mem 4");
}

TEST_F(MainWindowTest, ChangeLineWithoutASelectedRowChangesNothing)
{
    start();
    addRow({"Mem 1", "0007.100000", "0007.100000", "LSB", "Wide", "Duplex Off", "", ""});
    form->ListView1->clearSelection();
    doubleClick(form->ListView1->viewport(), QPoint(5, form->ListView1->viewport()->height() - 5));
    ASSERT_TRUE(processUntil([this] { return form->Panel3->isVisible(); }));
    form->ListView1->clearSelection();
    form->Edit7->setText("");
    form->Edit8->setText("14.2");
    button("change")->click();
    EXPECT_FALSE(form->channels().row(0).write);
    EXPECT_EQ(form->channels().row(0).texts[1], "0007.100000");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainWindowTest, ErrorsOfAHandlerGoToTheApplicationsMessageBox)
{
    start();
    action("OpenCloseEditPanel1")->trigger();
    button("Button2")->click(); // Edit8 still holds its design text
    EXPECT_EQ(dialogs.messages,
              std::vector<std::string>{"'Rx' is not a valid floating point value"});
    EXPECT_EQ(form->Edit3->text(), "Tx");
}

TEST_F(MainWindowTest, TheErrorHandlerFromBeforeTheWindowIsBackAfterIt)
{
    std::vector<std::string> seen;
    ScopedExceptionHandler before([&seen](const std::exception& e) { seen.push_back(e.what()); });
    start();
    HandleApplicationException(AppError("while the window lives"));
    windows.reset();
    HandleApplicationException(AppError("after the window"));
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"while the window lives"});
    EXPECT_EQ(seen, std::vector<std::string>{"after the window"});
}

TEST_F(MainWindowTest, RealMessageBoxShowsTheErrorText)
{
    auto o = options();
    o.dialogs = nullptr;
    start(o);
    action("OpenCloseEditPanel1")->trigger();
    MessageBoxAnswerer answerer;
    answerer.arm(QMessageBox::Ok);
    button("Button2")->click();
    ASSERT_EQ(answerer.texts.size(), 1u);
    EXPECT_EQ(answerer.texts[0], "'Rx' is not a valid floating point value");
}

TEST_F(MainWindowTest, RowTextsKeepTheirBytesThroughTheEditPanel)
{
    start();
    // A Windows-1252 location and comment, as an old channel file brings them.
    addRow({"Mem \xE9", "0007.100000", "0007.100000", "LSB", "Wide", "Duplex Off", "Caf\xE9 \x80",
            ""});
    EXPECT_EQ(form->ListView1->model()->index(0, 7).data().toString(),
              QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC"));
    selectRow(0);
    doubleClick(form->ListView1->viewport(),
                form->ListView1->visualRect(form->ListView1->model()->index(0, 1)).center());
    ASSERT_TRUE(processUntil([this] { return form->Panel3->isVisible(); }));
    EXPECT_EQ(form->ccomment->text(), QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC"));
    button("change")->click();
    EXPECT_EQ(form->channels().row(0).texts[0], "Mem \xE9");
}

} // namespace
} // namespace memvane::test
