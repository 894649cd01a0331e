// The main window by keyboard alone (menu bar, lists, edit panel) and what a screen reader is
// told about its controls. Keys go in through the window, as the platform delivers them, so
// shortcuts and focus handling take part.

#include "tests/app/Form1Fixture.h"

#include "serial/CPortCtl.h"
#include "serial/CPortSetup.h"
#include "serial/PortEnumerator.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

namespace memvane::test {
namespace {

class AccessibilityTest : public Form1Test
{
protected:
    void startActive()
    {
        start();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    }
    void key(Qt::Key k) { QTest::keyClick(form->windowHandle(), k); }
    // Alt pressed and let go on its own, as the keyboard reports it: the modifier state
    // before each event.
    void altTap()
    {
        QTest::simulateEvent(form->windowHandle(), true, Qt::Key_Alt, Qt::NoModifier, {}, false);
        QTest::simulateEvent(form->windowHandle(), false, Qt::Key_Alt, Qt::AltModifier, {}, false);
    }
    QMenuBar* bar() { return form->menuBar(); }
    void addRows()
    {
        addRow({"Mem 5", "0145.000000", "0145.600000", "FM", "Normal", "Duplex Off", "", "00.6000"});
        addRow({"Mem 9", "0007.100000", "0007.100000", "LSB", "Wide", "Duplex Off", "", "00.0000"});
    }
};

TEST_F(AccessibilityTest, MenuBarIsWorkedByF10AltArrowsEnterAndEscape)
{
    startActive();
    form->Memo1->setFocus();

    key(Qt::Key_F10);
    EXPECT_TRUE(bar()->hasFocus());
    EXPECT_EQ(bar()->activeAction(), form->commportselect1);
    key(Qt::Key_Right);
    EXPECT_EQ(bar()->activeAction(), form->CIVAddress1->menuAction());
    key(Qt::Key_Escape);
    EXPECT_EQ(bar()->activeAction(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), form->Memo1) << "the focus goes back where it was";

    altTap();
    EXPECT_EQ(bar()->activeAction(), form->commportselect1);
    key(Qt::Key_F10); // the same key leaves again
    EXPECT_EQ(bar()->activeAction(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), form->Memo1);

    // An item that opens a dialog: when the window is active again, the focus is back where
    // it was, not left on the unlit bar.
    QDialog dialog(form);
    QAction* opensDialog = bar()->addAction("Dialog");
    QObject::connect(opensDialog, &QAction::triggered, &dialog, [&] {
        QTimer::singleShot(0, &dialog, [&] {
            dialog.activateWindow();
            QTimer::singleShot(0, &dialog, &QDialog::accept);
        });
        dialog.exec();
    });
    key(Qt::Key_F10);
    key(Qt::Key_Left); // round to the last item
    ASSERT_EQ(bar()->activeAction(), opensDialog);
    key(Qt::Key_Return);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    EXPECT_TRUE(processUntil([this] { return QApplication::focusWidget() == form->Memo1; }, 2000));
    delete opensDialog;

    // Enter on "Open Edit Panel" opens the panel with the focus in its first box.
    key(Qt::Key_F10);
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    ASSERT_EQ(bar()->activeAction(), form->OpenCloseEditPanel1);
    key(Qt::Key_Return);
    EXPECT_TRUE(form->Panel3->isVisible());
    EXPECT_EQ(form->OpenCloseEditPanel1->text(), "Close Edit Panel");
    EXPECT_EQ(QApplication::focusWidget(), form->Edit8);
}

TEST_F(AccessibilityTest, KeyboardCursorIsLitButAHoveringPointerChangesNothing)
{
    startActive();
    QRect first = bar()->actionGeometry(form->commportselect1);
    QImage plain = bar()->grab().toImage();

    QTest::mouseMove(form->windowHandle(), bar()->mapTo(form, first.center()));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar()->grab().toImage(), plain) << "hovering must look as it always did";
    QTest::mouseMove(form->windowHandle(), form->Memo1->mapTo(form, QPoint(2, 2)));

    key(Qt::Key_F10);
    QImage lit = bar()->grab().toImage();
    EXPECT_NE(lit.copy(first), plain.copy(first)) << "the keyboard cursor does not show";
    QRect rest(first.right() + 1, 0, bar()->width() - first.right() - 1, bar()->height());
    EXPECT_EQ(lit.copy(rest), plain.copy(rest));
    key(Qt::Key_Escape);
    EXPECT_EQ(bar()->grab().toImage(), plain);
}

TEST_F(AccessibilityTest, SpaceTicksTheRowAndEnterOrTheMenuKeyOpensIt)
{
    writeFile(cwd.path() / "names.txt", "0145.600000,Calling\r\n");
    startActive();
    addRows();
    QTableView* list = form->ListView1;
    list->setFocus();
    list->setCurrentIndex(list->model()->index(1, 3)); // any column, not just the box's

    key(Qt::Key_Space);
    EXPECT_TRUE(form->channels().row(1).write);
    EXPECT_FALSE(form->channels().row(0).write);
    key(Qt::Key_Space);
    EXPECT_FALSE(form->channels().row(1).write);

    key(Qt::Key_Return);
    EXPECT_TRUE(form->Panel3->isVisible());
    EXPECT_EQ(form->Edit2->text(), "Mem 9");
    EXPECT_EQ(QApplication::focusWidget(), form->Edit8);
    EXPECT_EQ(list->selectionModel()->selectedRows().value(0).row(), 1);

    // The comment list opens the channel list's selected row, as its double click does; the
    // context-menu key reaches a widget as a context menu event from the keyboard.
    form->Panel3->hide();
    list->selectRow(0);
    action("showNames1")->trigger();
    form->ListView2->setFocus();
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(5, 5),
                              form->ListView2->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(form->ListView2, &menuKey);
    EXPECT_TRUE(form->Panel3->isVisible());
    EXPECT_EQ(form->Edit2->text(), "Mem 5");
    EXPECT_EQ(QApplication::focusWidget(), form->Edit8);
}

TEST_F(AccessibilityTest, EditPanelTabsThroughNewValuesThenTheRowsOwn)
{
    startActive();
    addRows();
    form->ListView1->setFocus();
    form->ListView1->setCurrentIndex(form->ListView1->model()->index(0, 1));
    key(Qt::Key_Return);
    ASSERT_EQ(QApplication::focusWidget(), form->Edit8);

    // "Manual Select" and the offset list are disabled for a row without duplex; the list is
    // left by Tab (its rows are selected whole), the hidden comment list is passed over.
    std::vector<std::string> order;
    for (int i = 0; i < 13; ++i) {
        key(Qt::Key_Tab);
        order.push_back(QApplication::focusWidget()->objectName().toStdString());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"ComboBox2", "ComboBox3", "CheckBox1", "Button2",
                                               "change", "ccomment", "Edit2", "Edit3", "Edit4",
                                               "Edit5", "Edit6", "ListView1", "Memo1"}));
}

// Every control the keyboard can reach tells a screen reader what it is.
void expectNamed(QWidget* window, std::vector<std::string>& unnamed)
{
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(window) || w->focusProxy())
            continue;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        if (!iface || iface->text(QAccessible::Name).trimmed().isEmpty())
            unnamed.push_back(window->objectName().toStdString() + "/" +
                              w->objectName().toStdString() + " (" +
                              w->metaObject()->className() + ")");
    }
}

TEST_F(AccessibilityTest, EveryFocusableControlHasAName)
{
    writeFile(cwd.path() / "names.txt", "0145.600000,Calling\r\n");
    start();
    addRows();
    action("OpenCloseEditPanel1")->trigger();
    action("showNames1")->trigger();
    form->CheckBox1->setChecked(true);
    form->CheckBox2->setChecked(true);
    form->ComboBox2->setEditText(""); // an empty box still says what it is for
    windows->form2->show();
    windows->form3->show();
    PortLister previous = SetPortLister([] { return std::vector<std::string>{"COM1"}; });
    TComSetupFrm setup;
    SetPortLister(previous);
    setup.show();

    std::vector<std::string> unnamed;
    for (QWidget* window : std::initializer_list<QWidget*>{form, windows->form2.get(),
                                                           windows->form3.get(), &setup})
        expectNamed(window, unnamed);
    EXPECT_EQ(unnamed, std::vector<std::string>{});

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(form->ListView1);
    EXPECT_EQ(list->text(QAccessible::Name), "Memory channels");
    // The box column's cells are named by their row's location, the rest by their text.
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->cellAt(1, 0)->text(QAccessible::Name), "Mem 9");
    EXPECT_EQ(table->cellAt(1, 2)->text(QAccessible::Name), "0007.100000");
    QAccessibleTableInterface* comments =
        QAccessible::queryAccessibleInterface(form->ListView2)->tableInterface();
    EXPECT_EQ(comments->cellAt(0, 0)->text(QAccessible::Name), "0145.600000");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(setup.Label2)
                  ->relations(QAccessible::Labelled)
                  .value(0)
                  .first->object(),
              setup.Combo2);

    // Menu items keep their captions as names, blanks included.
    for (QMenuBar* menuBar : {form->menuBar(), windows->form2->menuBar()}) {
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(menuBar);
        const QList<QAction*> actions = menuBar->actions();
        ASSERT_EQ(bar->childCount(), actions.size());
        for (int i = 0; i < bar->childCount(); ++i)
            EXPECT_EQ(bar->child(i)->text(QAccessible::Name), actions[i]->text());
    }
}

} // namespace
} // namespace memvane::test
