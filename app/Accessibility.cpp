#include "app/Accessibility.h"

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/Unit3.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QShortcut>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QTableView>

namespace memvane {

namespace {

// The application's style with two changes for menu bars: Alt navigation is on whatever the
// style says, and the item under the keyboard cursor is drawn lit. Styles such as Fusion light
// an item only while its menu is open, which leaves a keyboard user with no sign of where the
// cursor is. The bar holds the focus only in keyboard mode, never under the mouse.
class MenuBarStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element == CE_MenuBarItem && item && widget && widget->hasFocus() &&
            (item->state & State_Selected)) {
            QStyleOptionMenuItem lit = *item;
            lit.state |= State_Sunken;
            QProxyStyle::drawControl(element, &lit, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// QMenuBar enters and leaves keyboard mode on an Alt tap that no other key interrupted: it
// watches its window for the Alt shortcut-override and then for Alt's release. F10 replays
// exactly that, so both keys share Qt's handling (focus kept and given back, Escape, arrows).
// The press carries no modifier, as the keyboard reports it: a modifier key's event reads
// with its own modifier toggled.
void toggleKeyboardMode(QMainWindow* window, QMenuBar* bar)
{
    QKeyEvent press(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(bar, &release);
}

// The bar gives the focus back to where it was when it leaves keyboard mode, unless the focus
// was in another window by then: an item that opened a dialog leaves the bar holding the
// window's focus, unlit. When the window is active again, the focus goes back.
class FocusReturn : public QObject
{
public:
    explicit FocusReturn(QMenuBar* bar) : QObject(bar), m_bar(bar)
    {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
            if (now == m_bar && old && old->window() == m_bar->window())
                m_before = old;
        });
        bar->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn && !m_bar->activeAction() && m_before &&
            static_cast<QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason)
            QMetaObject::invokeMethod(
                this, [this] { if (m_bar->hasFocus() && !m_bar->activeAction() && m_before)
                                   m_before->setFocus(Qt::OtherFocusReason); },
                Qt::QueuedConnection);
        return false;
    }

private:
    QMenuBar* m_bar;
    QPointer<QWidget> m_before;
};

void describe(QWidget* widget, const char* name, const char* description)
{
    widget->setAccessibleName(QString::fromUtf8(name));
    widget->setAccessibleDescription(QString::fromUtf8(description));
    // The text part of an editable box is a child of its own for assistive technology.
    if (auto* box = qobject_cast<QComboBox*>(widget); box && box->lineEdit())
        box->lineEdit()->setAccessibleName(QString::fromUtf8(name));
}

// Keys of the two lists; see the header.
class ListKeys : public QObject
{
public:
    explicit ListKeys(TForm1& form) : QObject(&form), m_form(form)
    {
        form.ListView1->installEventFilter(this);
        form.ListView2->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* view = qobject_cast<QTableView*>(watched);
        if (!view)
            return false;
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
            if (mods != Qt::NoModifier)
                return false;
            if (key->key() == Qt::Key_Space && view == m_form.ListView1) {
                tickCurrentRow();
                return true;
            }
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                openRow(view);
                return true;
            }
        } else if (event->type() == QEvent::ContextMenu &&
                   static_cast<QContextMenuEvent*>(event)->reason() ==
                       QContextMenuEvent::Keyboard) {
            openRow(view);
            return true;
        }
        return false;
    }

private:
    // Whichever column the cursor is in: the row's box is what Space is for.
    void tickCurrentRow()
    {
        QModelIndex current = m_form.ListView1->currentIndex();
        if (!current.isValid())
            return;
        QAbstractItemModel* model = m_form.ListView1->model();
        QModelIndex box = model->index(current.row(), 0);
        bool ticked = box.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        model->setData(box, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }

    // As a double click: the channel list first selects the row under the cursor; the
    // comment list opens the channel list's selected row, whatever its own cursor is on.
    void openRow(QTableView* view)
    {
        if (view == m_form.ListView1 && view->currentIndex().isValid())
            view->selectRow(view->currentIndex().row());
        m_form.ListView1DblClick();
        m_form.Edit8->setFocus(Qt::OtherFocusReason);
    }

    TForm1& m_form;
};

void orderEditPanel(TForm1& f)
{
    QWidget* const order[] = {f.gotochan,  f.Edit8,   f.ComboBox2, f.ComboBox3, f.CheckBox1,
                              f.CheckBox2, f.ComboBox1, f.Button2, f.change,    f.ccomment,
                              f.Edit2,     f.Edit3,   f.Edit7,     f.Edit4,     f.Edit5,
                              f.Edit6,     f.ListView1};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

} // namespace

void enableMenuBarKeyboard(QMainWindow* window)
{
    QMenuBar* bar = window->menuBar();
    auto* style = new MenuBarStyle(QStyleFactory::create(QApplication::style()->name()));
    style->setParent(bar);
    bar->setStyle(style);
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), window);
    QObject::connect(f10, &QShortcut::activated, bar,
                     [window, bar] { toggleKeyboardMode(window, bar); });
    new FocusReturn(bar);
}

void setUpAccessibility(TForm1& f)
{
    enableMenuBarKeyboard(&f);
    new ListKeys(f);
    // Rows are selected whole, so Tab leaves a list instead of walking its cells.
    f.ListView1->setTabKeyNavigation(false);
    f.ListView2->setTabKeyNavigation(false);
    orderEditPanel(f);
    // Opened from the keyboard (the bar holds the focus then), the panel takes the focus.
    QObject::connect(f.OpenCloseEditPanel1, &QAction::triggered, &f, [&f] {
        if (f.menuBar()->hasFocus() && f.Panel3->isVisible())
            f.Edit8->setFocus(Qt::OtherFocusReason);
    });

    describe(f.ListView1, "Memory channels",
             "One row per radio memory. Space ticks a row for writing; Enter opens it in the "
             "edit panel.");
    describe(f.ListView2, "Comment list",
             "Frequencies and comments from names.txt. Enter opens the selected memory channel "
             "in the edit panel.");
    describe(f.Memo1, "File name", "Name of the channel file, without its extension.");
    describe(f.Memo2, "File name extension", "Extension of the channel file.");
    describe(f.Memo3, "Radio frequency and mode", "What the radio reported last.");
    f.Label1->setAccessibleDescription("Progress and result of the last operation.");

    describe(f.Edit8, "Receive frequency", "New receive frequency (VFO B) in MHz.");
    describe(f.ComboBox2, "Mode", "New mode.");
    describe(f.ComboBox3, "Filter", "New filter.");
    describe(f.ComboBox1, "Offset",
             "Transmit offset in MHz, chosen by hand when Manual Select is ticked.");
    describe(f.ccomment, "Comment", "The row's comment.");
    describe(f.Edit7, "Transmit frequency", "Transmit frequency the offset starts from, MHz.");
    describe(f.Edit2, "Memory location", "Memory the row belongs to.");
    describe(f.Edit3, "Current transmit frequency", "The row's transmit frequency (VFO A), MHz.");
    describe(f.Edit4, "Current receive frequency", "The row's receive frequency (VFO B), MHz.");
    describe(f.Edit5, "Current mode", "The row's mode.");
    describe(f.Edit6, "Current filter", "The row's filter.");
}

void setUpAccessibility(TForm2& f)
{
    enableMenuBarKeyboard(&f);
    describe(f.Memo1, "Help", "How to use the program.");
    describe(f.Memo2, "About", "About the program.");
}

void setUpAccessibility(TForm3& f)
{
    describe(f.Memo1, "Error list", "Radio commands that failed, three lines each.");
}

} // namespace memvane
