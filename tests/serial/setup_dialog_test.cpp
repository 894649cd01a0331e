// The setup dialog and its combo boxes, on the recording fake backend: what each box lists and
// shows, what OK and Cancel do to a closed and to an open port, and what reaches the device.

#include "serial/CPort.h"
#include "serial/CPortCtl.h"
#include "serial/CPortSetup.h"
#include "serial/PortEnumerator.h"
#include "tests/support/FakeComBackend.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace memvane {
namespace {

using Names = std::vector<std::string>;
using test::FakeComBackend;

const Names kPorts{"COM1", "COM10", "COM2", "ttyUSB0"};

// Replaces the system's port list for one test.
class ScopedPorts
{
public:
    explicit ScopedPorts(Names names) : m_previous(SetPortLister([names] { return names; })) {}
    explicit ScopedPorts(PortLister lister) : m_previous(SetPortLister(std::move(lister))) {}
    ~ScopedPorts() { SetPortLister(m_previous); }

private:
    PortLister m_previous;
};

// The program's port with its design values, on a recording backend.
struct Rig
{
    std::shared_ptr<FakeComBackend> backend = std::make_shared<FakeComBackend>();
    std::unique_ptr<TComPort> port = std::make_unique<TComPort>("ComPort1", backend);

    Rig()
    {
        port->SetPort("COM1");
        port->SetBaudRate(br19200);
        port->SetDataBits(dbEight);
        port->SetStopBits(sbOneStopBit);
        port->Parity().SetBits(prNone);
        port->FlowControl().SetFlowControl(fcNone);
    }
    void open()
    {
        port->Open();
        backend->clearCalls();
    }
    // Opens, applies and closes of devices: what the dialog may cause.
    Names deviceCalls() const
    {
        return backend->calls({"open", "close", "setupComm", "setCommState", "setCommTimeouts"});
    }
};

// Runs the port's dialog; `act` gets the shown dialog and must close it. Returns whether the
// dialog was shown at all. The finder outlives a ShowSetupDialog that throws, so its timers
// never touch a finished test.
struct DialogFinder
{
    std::function<void(TComSetupFrm&)> act;
    bool shown = false;
    bool done = false;
};

void findDialog(const std::shared_ptr<DialogFinder>& f, int triesLeft)
{
    if (f->done)
        return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* dlg = qobject_cast<TComSetupFrm*>(w);
        if (dlg && dlg->isVisible()) {
            f->shown = true;
            f->act(*dlg);
            if (dlg->isVisible()) {
                ADD_FAILURE() << "the dialog was left open";
                dlg->reject();
            }
            return;
        }
    }
    if (triesLeft > 0)
        QTimer::singleShot(10, [f, triesLeft] { findDialog(f, triesLeft - 1); });
}

bool runDialog(TComPort& port, std::function<void(TComSetupFrm&)> act)
{
    auto finder = std::make_shared<DialogFinder>();
    finder->act = std::move(act);
    struct Done
    {
        std::shared_ptr<DialogFinder> f;
        ~Done() { f->done = true; }
    } done{finder};
    QTimer::singleShot(0, [finder] { findDialog(finder, 500); });
    port.ShowSetupDialog();
    return finder->shown;
}

void choose(TComComboBox* box, const std::string& text)
{
    const auto& items = box->ComSelect().Items();
    auto it = std::find(items.begin(), items.end(), text);
    ASSERT_NE(it, items.end()) << text;
    // What a pick in the drop-down does to the box.
    box->setCurrentIndex(static_cast<int>(it - items.begin()));
}

int setupDialogsAlive()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<TComSetupFrm*>(w) != nullptr;
    return n;
}

// ---- TComSelect ------------------------------------------------------------------------

TEST(ComSelect, ItemListsPerProperty)
{
    ScopedPorts ports(kPorts);
    struct Row
    {
        TComProperty property;
        Names items;
    };
    const Row rows[] = {
        {cpNone, {}},
        {cpPort, kPorts},
        {cpBaudRate,
         {"Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
          "56000", "57600", "115200", "128000", "256000"}},
        {cpDataBits, {"5", "6", "7", "8"}},
        {cpStopBits, {"1", "1.5", "2"}},
        {cpParity, {"None", "Odd", "Even", "Mark", "Space"}},
        {cpFlowControl, {"Hardware", "Software", "None", "Custom"}},
    };
    TComSelect sel;
    for (const auto& row : rows) {
        sel.SetComProperty(row.property);
        EXPECT_EQ(sel.Items(), row.items) << row.property;
    }
    // Setting the kind again refills rather than appends.
    sel.SetComProperty(cpParity);
    sel.SetComProperty(cpParity);
    EXPECT_EQ(sel.Items().size(), 5u);
    sel.SetComProperty(cpNone);
    EXPECT_TRUE(sel.Items().empty());
}

TEST(ComSelect, ItemNIsTheValueWithOrdinalN)
{
    TComSelect sel;
    sel.SetComProperty(cpBaudRate);
    for (int i = 0; i < BaudRateCount; ++i) {
        sel.Change(sel.Items()[i]);
        EXPECT_EQ(sel.BaudRate(), static_cast<TBaudRate>(i)) << sel.Items()[i];
    }
    sel.SetComProperty(cpStopBits);
    for (int i = 0; i < StopBitsCount; ++i) {
        sel.Change(sel.Items()[i]);
        EXPECT_EQ(sel.StopBits(), static_cast<TStopBits>(i));
    }
    sel.SetComProperty(cpDataBits);
    for (int i = 0; i < DataBitsCount; ++i) {
        sel.Change(sel.Items()[i]);
        EXPECT_EQ(sel.DataBits(), static_cast<TDataBits>(i));
    }
    sel.SetComProperty(cpParity);
    for (int i = 0; i < ParityCount; ++i) {
        sel.Change(sel.Items()[i]);
        EXPECT_EQ(sel.Parity(), static_cast<TParityBits>(i));
    }
    sel.SetComProperty(cpFlowControl);
    for (int i = 0; i < FlowControlCount; ++i) {
        sel.Change(sel.Items()[i]);
        EXPECT_EQ(sel.FlowControl(), static_cast<TFlowControl>(i));
    }
}

TEST(ComSelect, PendingValuesStartZeroedAndChangeOnlyTheirKind)
{
    TComSelect sel;
    EXPECT_EQ(sel.Port(), "");
    EXPECT_EQ(sel.BaudRate(), brCustom);
    EXPECT_EQ(sel.DataBits(), dbFive);
    EXPECT_EQ(sel.StopBits(), sbOneStopBit);
    EXPECT_EQ(sel.Parity(), prNone);
    EXPECT_EQ(sel.FlowControl(), fcHardware);
    EXPECT_FALSE(sel.AutoApply());
    EXPECT_EQ(sel.ComPort(), nullptr);

    sel.SetComProperty(cpParity);
    sel.Change("Space");
    sel.Change("19200"); // not a parity text: the parity fallback, nothing else touched
    EXPECT_EQ(sel.Parity(), prNone);
    EXPECT_EQ(sel.BaudRate(), brCustom);
    sel.SetComProperty(cpPort);
    sel.Change("/dev/serial/by-id/usb-FTDI");
    EXPECT_EQ(sel.Port(), "/dev/serial/by-id/usb-FTDI");
}

TEST(ComSelect, UpdateSettingsFindsTheCurrentValueIgnoringCase)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    TComSelect sel;
    sel.SetComProperty(cpPort);
    int index = 7;
    sel.UpdateSettings(index); // unbound: left alone
    EXPECT_EQ(index, 7);

    sel.SetComPort(rig.port.get());
    rig.port->SetPort("com10");
    sel.UpdateSettings(index);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(sel.Port(), "COM10"); // the listed text becomes pending

    // A name the list does not hold is added in its sorted place and becomes pending.
    rig.port->SetPort("/dev/ttyUSB5");
    sel.UpdateSettings(index);
    EXPECT_EQ(sel.Items(), (Names{"/dev/ttyUSB5", "COM1", "COM10", "COM2", "ttyUSB0"}));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(sel.Port(), "/dev/ttyUSB5");
    rig.port->SetPort("");
    sel.UpdateSettings(index);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(sel.Port(), "/dev/ttyUSB5"); // no name: nothing to add, pending unchanged

    sel.SetComProperty(cpParity);
    rig.port->Parity().SetBits(prMark);
    sel.UpdateSettings(index);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(sel.Parity(), prMark);

    sel.SetComProperty(cpFlowControl);
    rig.port->FlowControl().SetControlRTS(rtsToggle); // no summary but Custom
    sel.UpdateSettings(index);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(sel.FlowControl(), fcCustom);
}

TEST(ComSelect, UpdateSettingsDoesNotApply)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    rig.open();
    TComSelect sel;
    sel.SetComProperty(cpBaudRate);
    sel.SetComPort(rig.port.get());
    sel.SetAutoApply(true);
    int index = -1;
    sel.UpdateSettings(index);
    EXPECT_EQ(index, 9);
    EXPECT_TRUE(rig.backend->calls({"setCommState"}).empty());
}

TEST(ComSelect, ApplySettingsUsesEachPropertysSetter)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    rig.open();
    TComSelect sel;
    sel.SetComPort(rig.port.get());

    sel.SetComProperty(cpBaudRate);
    sel.Change("57600");
    EXPECT_EQ(rig.port->BaudRate(), br19200) << "a choice alone applies nothing";
    sel.ApplySettings();
    EXPECT_EQ(rig.port->BaudRate(), br57600);
    sel.SetComProperty(cpDataBits);
    sel.Change("7");
    sel.ApplySettings();
    EXPECT_EQ(rig.port->DataBits(), dbSeven);
    sel.SetComProperty(cpStopBits);
    sel.Change("1.5");
    sel.ApplySettings();
    EXPECT_EQ(rig.port->StopBits(), sbOne5StopBits);
    sel.SetComProperty(cpParity);
    sel.Change("Odd");
    sel.ApplySettings();
    EXPECT_EQ(rig.port->Parity().Bits(), prOdd);
    sel.SetComProperty(cpFlowControl);
    sel.Change("Software");
    sel.ApplySettings();
    EXPECT_EQ(rig.port->FlowControl().FlowControl(), fcSoftware);
    // On an open port outside an update block every setter applies the line settings at once.
    ASSERT_EQ(rig.backend->dcbs().size(), 5u);
    EXPECT_EQ(rig.backend->dcbs().back().BaudRate, 57600u);
    EXPECT_EQ(rig.backend->dcbs().back().ByteSize, 7);
    EXPECT_EQ(rig.backend->dcbs().back().StopBits, 1);
    EXPECT_EQ(rig.backend->dcbs().back().Parity, 1);

    sel.SetComProperty(cpPort);
    sel.Change("COM2");
    sel.ApplySettings();
    EXPECT_EQ(rig.port->Port(), "COM2");
    EXPECT_TRUE(rig.port->Connected());
    EXPECT_EQ(rig.backend->calls({"open"}), (Names{"open COM2"}));

    // A port box that never showed or got a name leaves the port's own.
    TComSelect unshown;
    unshown.SetComProperty(cpPort);
    unshown.SetComPort(rig.port.get());
    unshown.ApplySettings();
    EXPECT_EQ(rig.port->Port(), "COM2");

    sel.SetComProperty(cpNone);
    rig.backend->clearCalls();
    sel.ApplySettings();
    sel.SetComPort(nullptr);
    sel.SetComProperty(cpBaudRate);
    sel.Change("110");
    sel.ApplySettings();
    EXPECT_EQ(rig.port->BaudRate(), br57600);
    EXPECT_TRUE(rig.deviceCalls().empty());
}

TEST(ComSelect, AutoApplyAppliesEachChoiceAtOnce)
{
    Rig rig;
    TComSelect sel;
    sel.SetComProperty(cpBaudRate);
    sel.SetComPort(rig.port.get());
    sel.SetAutoApply(true);
    sel.Change("4800");
    EXPECT_EQ(rig.port->BaudRate(), br4800);
}

TEST(ComSelect, PortListErrorReachesTheCaller)
{
    ScopedPorts ports(
        PortLister([]() -> Names { throw EComPort(CError_RegError, 2, std::string()); }));
    TComSelect sel;
    try {
        sel.SetComProperty(cpPort);
        FAIL() << "expected EComPort";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 23);
    }
}

// ---- TComComboBox ----------------------------------------------------------------------

TEST(ComComboBox, BindingShowsTheCurrentValueAndChoicesArePending)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    TComComboBox box;
    EXPECT_FALSE(box.isEditable());
    box.SetComProperty(cpStopBits);
    EXPECT_EQ(box.count(), 3);
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.Text(), "");

    rig.port->SetStopBits(sbTwoStopBits);
    box.SetComPort(rig.port.get());
    EXPECT_EQ(box.Text(), "2");
    EXPECT_EQ(box.ComSelect().StopBits(), sbTwoStopBits);

    // Binding the same port again is no new look-up.
    rig.port->SetStopBits(sbOneStopBit);
    box.SetComPort(rig.port.get());
    EXPECT_EQ(box.Text(), "2");
    box.UpdateSettings();
    EXPECT_EQ(box.Text(), "1");

    choose(&box, "1.5");
    EXPECT_EQ(box.ComSelect().StopBits(), sbOne5StopBits);
    EXPECT_EQ(rig.port->StopBits(), sbOneStopBit);
    box.ApplySettings();
    EXPECT_EQ(rig.port->StopBits(), sbOne5StopBits);
}

TEST(ComComboBox, FailedPortListLeavesAnEmptyBox)
{
    TComComboBox box;
    box.SetComProperty(cpParity);
    ScopedPorts ports(
        PortLister([]() -> Names { throw EComPort(CError_RegError, ENOENT, std::string()); }));
    EXPECT_THROW(box.SetComProperty(cpPort), EComPort);
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(box.Text(), "");
}

TEST(ComComboBox, TextSelectsOnlyAListedItem)
{
    ScopedPorts ports(kPorts);
    TComComboBox box;
    box.SetComProperty(cpPort);
    EXPECT_EQ(box.count(), 4);
    box.SetText("COM2");
    EXPECT_EQ(box.Text(), "COM2");
    EXPECT_EQ(box.ComSelect().Port(), "COM2");
    box.SetText("COM3");
    EXPECT_EQ(box.Text(), "COM2");
    box.SetText("ttyusb0"); // an exact text is needed here
    EXPECT_EQ(box.Text(), "COM2");
    EXPECT_EQ(box.currentText(), QStringLiteral("COM2"));
}

TEST(ComComboBox, AnUnlistedPortIsShownAnEmptyNameIsNot)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    TComComboBox box;
    box.SetComProperty(cpPort);
    box.SetText("ttyUSB0");
    rig.port->SetPort("");
    box.SetComPort(rig.port.get());
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.Text(), "");
    EXPECT_EQ(box.ComSelect().Port(), "ttyUSB0");

    rig.port->SetPort("ttyACM3");
    box.UpdateSettings();
    EXPECT_EQ(box.count(), 5);
    EXPECT_EQ(box.Text(), "ttyACM3");
    EXPECT_EQ(box.currentText(), QStringLiteral("ttyACM3"));
    EXPECT_EQ(box.ComSelect().Port(), "ttyACM3");
}

TEST(ComComboBox, AutoApplyBoxAppliesTheUsersPick)
{
    Rig rig;
    TComComboBox box;
    box.SetComProperty(cpParity);
    box.SetComPort(rig.port.get());
    box.SetAutoApply(true);
    choose(&box, "Even");
    EXPECT_EQ(rig.port->Parity().Bits(), prEven);
    // Refreshing the shown value is not a pick.
    rig.port->Parity().SetBits(prOdd);
    box.SetAutoApply(true);
    box.UpdateSettings();
    EXPECT_EQ(box.Text(), "Odd");
    EXPECT_EQ(rig.port->Parity().Bits(), prOdd);
}

TEST(ComComboBox, ForgetsADestroyedPortAndSelectsTheFirstItem)
{
    Rig rig;
    TComComboBox box;
    box.SetComProperty(cpDataBits);
    rig.port->SetDataBits(dbSeven);
    box.SetComPort(rig.port.get());
    EXPECT_EQ(box.Text(), "7");
    rig.port.reset();
    EXPECT_EQ(box.ComPort(), nullptr);
    EXPECT_EQ(box.currentIndex(), 0);
    box.ApplySettings(); // unbound: nothing to apply to
    box.UpdateSettings();
    EXPECT_EQ(box.Text(), "5");

    // An empty box has nothing to select.
    auto port = std::make_unique<TComPort>("ComPort1", std::make_shared<FakeComBackend>());
    TComComboBox none;
    none.SetComPort(port.get());
    port.reset();
    EXPECT_EQ(none.ComPort(), nullptr);
    EXPECT_EQ(none.currentIndex(), -1);
}

TEST(ComComboBox, BoxGoneBeforeItsPortIsNotCalledBack)
{
    Rig rig;
    {
        TComComboBox first;
        first.SetComProperty(cpBaudRate);
        first.SetComPort(rig.port.get());
    }
    TComComboBox second;
    second.SetComProperty(cpBaudRate);
    second.SetComPort(rig.port.get());
    // Rebinding to another port drops the old port's notification.
    Rig other;
    second.SetComPort(other.port.get());
    rig.port.reset();
    EXPECT_EQ(second.ComPort(), other.port.get());
    other.port.reset();
    EXPECT_EQ(second.ComPort(), nullptr);
}

// ---- TComSetupFrm ----------------------------------------------------------------------

TEST(SetupDialog, Layout)
{
    ScopedPorts ports(kPorts);
    TComSetupFrm dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Setup"));
    EXPECT_EQ(dlg.size(), QSize(231, 216));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    EXPECT_EQ(dlg.GroupBox1->title(), QStringLiteral(" Settings "));
    EXPECT_EQ(dlg.GroupBox1->geometry(), QRect(8, 8, 217, 169));

    struct LabelRow
    {
        QLabel* label;
        const char* name;
        const char* caption;
        QPoint at;
    };
    const LabelRow labels[] = {
        {dlg.Label1, "Label1", "Port", {8, 24}},
        {dlg.Label2, "Label2", "Baud rate", {8, 48}},
        {dlg.Label3, "Label3", "Data bits", {8, 72}},
        {dlg.Label4, "Label4", "Stop bits", {8, 96}},
        {dlg.Label5, "Label5", "Parity", {8, 120}},
        {dlg.Label6, "Label6", "Flow control", {8, 144}},
    };
    for (const auto& row : labels) {
        EXPECT_EQ(row.label->objectName(), QLatin1String(row.name));
        EXPECT_EQ(row.label->text(), QLatin1String(row.caption)) << row.name;
        EXPECT_EQ(row.label->pos(), row.at) << row.name;
        EXPECT_EQ(row.label->parentWidget(), dlg.GroupBox1) << row.name;
        // A label that runs into its box would be cut off or hidden.
        EXPECT_LE(row.label->geometry().right(), 80) << row.name;
    }
    struct ComboRow
    {
        TComComboBox* combo;
        const char* name;
        TComProperty property;
        int top;
    };
    const ComboRow combos[] = {
        {dlg.Combo1, "Combo1", cpPort, 16},     {dlg.Combo2, "Combo2", cpBaudRate, 40},
        {dlg.Combo3, "Combo3", cpDataBits, 64}, {dlg.Combo4, "Combo4", cpStopBits, 88},
        {dlg.Combo5, "Combo5", cpParity, 112},  {dlg.Combo6, "Combo6", cpFlowControl, 136},
    };
    for (const auto& row : combos) {
        EXPECT_EQ(row.combo->objectName(), QLatin1String(row.name));
        EXPECT_EQ(row.combo->ComProperty(), row.property) << row.name;
        EXPECT_EQ(row.combo->geometry(), QRect(80, row.top, 129, 21)) << row.name;
        EXPECT_EQ(row.combo->parentWidget(), dlg.GroupBox1) << row.name;
        EXPECT_FALSE(row.combo->AutoApply()) << row.name;
        EXPECT_FALSE(row.combo->isEditable()) << row.name;
        EXPECT_EQ(row.combo->ComPort(), nullptr) << row.name;
        EXPECT_EQ(dlg.findChild<TComComboBox*>(QLatin1String(row.name)), row.combo);
    }
    EXPECT_EQ(dlg.Combo1->count(), 4);
    EXPECT_EQ(dlg.Combo2->count(), 16);

    EXPECT_EQ(dlg.Button1->objectName(), QStringLiteral("Button1"));
    EXPECT_EQ(dlg.Button1->text(), QStringLiteral("OK"));
    EXPECT_EQ(dlg.Button1->geometry(), QRect(70, 184, 75, 25));
    EXPECT_TRUE(dlg.Button1->isDefault());
    EXPECT_EQ(dlg.Button2->objectName(), QStringLiteral("Button2"));
    EXPECT_EQ(dlg.Button2->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(dlg.Button2->geometry(), QRect(150, 184, 75, 25));
    EXPECT_FALSE(dlg.Button2->isDefault());
    EXPECT_EQ(dlg.findChild<QGroupBox*>(QStringLiteral("GroupBox1")), dlg.GroupBox1);
}

TEST(SetupDialog, TabOrderRunsDownTheBoxesThenOkThenCancel)
{
    ScopedPorts ports(kPorts);
    TComSetupFrm dlg;
    std::vector<QWidget*> order;
    QWidget* w = dlg.Combo1;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order.push_back(w);
        w = w->nextInFocusChain();
    } while (w != dlg.Combo1 && order.size() < 20);
    const std::vector<QWidget*> expected{dlg.Combo1, dlg.Combo2, dlg.Combo3,  dlg.Combo4,
                                         dlg.Combo5, dlg.Combo6, dlg.Button1, dlg.Button2};
    EXPECT_EQ(order, expected);
}

TEST(SetupDialog, ShowsTheCurrentValuesAndPortsInOrder)
{
    ScopedPorts ports(Names{"COM2", "COM1", "ttyUSB0", "COM10"});
    Rig rig;
    rig.port->SetPort("com10");
    rig.port->SetBaudRate(br38400);
    rig.port->SetDataBits(dbSeven);
    rig.port->SetStopBits(sbTwoStopBits);
    rig.port->Parity().SetBits(prEven);
    rig.port->FlowControl().SetFlowControl(fcHardware);
    std::vector<std::string> shown;
    Names items;
    bool ran = runDialog(*rig.port, [&](TComSetupFrm& dlg) {
        for (auto* box : {dlg.Combo1, dlg.Combo2, dlg.Combo3, dlg.Combo4, dlg.Combo5, dlg.Combo6})
            shown.push_back(box->Text());
        items = dlg.Combo1->ComSelect().Items();
        EXPECT_TRUE(dlg.isModal());
        dlg.Button2->click();
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(shown, (Names{"COM10", "38400", "7", "2", "Even", "Hardware"}));
    // The lister's order is shown as it comes; sorting is the lister's job.
    EXPECT_EQ(items, (Names{"COM2", "COM1", "ttyUSB0", "COM10"}));
    EXPECT_EQ(setupDialogsAlive(), 0);
}


TEST(SetupDialog, OkWithoutChangesOnAnOpenPortAppliesOnceAtTheEnd)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    rig.open();
    int updateDepthSeen = -1;
    rig.port->OnBeforeClose = [](TCustomComPort*) { ADD_FAILURE() << "no reopen expected"; };
    runDialog(*rig.port, [&](TComSetupFrm& dlg) {
        updateDepthSeen = rig.port->UpdateCount();
        dlg.Button1->click();
    });
    EXPECT_EQ(updateDepthSeen, 0);
    EXPECT_EQ(rig.port->UpdateCount(), 0);
    EXPECT_EQ(rig.deviceCalls(), (Names{"setupComm 1024 1024", "setCommState", "setCommTimeouts"}));
    EXPECT_EQ(rig.port->Port(), "COM1");
    EXPECT_EQ(rig.port->BaudRate(), br19200);
    rig.port->OnBeforeClose = nullptr;
}

TEST(SetupDialog, OkOnAnOpenPortSendsAllChangesInOneBlock)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    rig.open();
    runDialog(*rig.port, [&](TComSetupFrm& dlg) {
        choose(dlg.Combo2, "38400");
        choose(dlg.Combo3, "7");
        choose(dlg.Combo4, "2");
        choose(dlg.Combo5, "Even");
        choose(dlg.Combo6, "Hardware");
        EXPECT_TRUE(rig.backend->calls({"setCommState"}).empty()) << "nothing before OK";
        dlg.Button1->click();
    });
    EXPECT_EQ(rig.deviceCalls(), (Names{"setupComm 1024 1024", "setCommState", "setCommTimeouts"}));
    ASSERT_EQ(rig.backend->dcbs().size(), 1u);
    const TComDCB dcb = rig.backend->dcbs()[0];
    EXPECT_EQ(dcb.BaudRate, 38400u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.StopBits, 2);
    EXPECT_EQ(dcb.Parity, 2);
    EXPECT_EQ(dcb.Flags & DCB_fRtsControlMask, 0x2000u);
    EXPECT_NE(dcb.Flags & DCB_fOutxCtsFlow, 0u);
    EXPECT_EQ(rig.port->BaudRate(), br38400);
    EXPECT_EQ(rig.port->DataBits(), dbSeven);
    EXPECT_EQ(rig.port->StopBits(), sbTwoStopBits);
    EXPECT_EQ(rig.port->Parity().Bits(), prEven);
    EXPECT_EQ(rig.port->FlowControl().FlowControl(), fcHardware);
}

TEST(SetupDialog, OkWithAnotherPortReopensAtOnceAndSettlesAtTheEnd)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    rig.open();
    runDialog(*rig.port, [&](TComSetupFrm& dlg) {
        choose(dlg.Combo1, "ttyUSB0");
        choose(dlg.Combo2, "9600");
        dlg.Button1->click();
    });
    EXPECT_EQ(rig.deviceCalls(), (Names{"close", "open ttyUSB0", "setupComm 1024 1024",
                                        "setCommState", "setCommTimeouts"}));
    ASSERT_EQ(rig.backend->dcbs().size(), 1u);
    EXPECT_EQ(rig.backend->dcbs()[0].BaudRate, 9600u);
    EXPECT_TRUE(rig.port->Connected());
    EXPECT_EQ(rig.port->Port(), "ttyUSB0");
    EXPECT_EQ(rig.backend->openDevices(), 1);
}

TEST(SetupDialog, CancelAppliesNothing)
{
    ScopedPorts ports(kPorts);
    const std::function<void(TComSetupFrm&)> closers[] = {
        [](TComSetupFrm& dlg) { dlg.Button2->click(); },
        [](TComSetupFrm& dlg) { dlg.close(); }, // the window's close box
        [](TComSetupFrm& dlg) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dlg.Combo3, &esc);
        },
    };
    for (const auto& closeIt : closers) {
        Rig rig;
        rig.open();
        runDialog(*rig.port, [&](TComSetupFrm& dlg) {
            choose(dlg.Combo1, "COM2");
            choose(dlg.Combo2, "Custom");
            choose(dlg.Combo3, "5");
            choose(dlg.Combo4, "1.5");
            choose(dlg.Combo5, "Mark");
            choose(dlg.Combo6, "Software");
            closeIt(dlg);
        });
        EXPECT_TRUE(rig.deviceCalls().empty());
        EXPECT_EQ(rig.port->Port(), "COM1");
        EXPECT_EQ(rig.port->BaudRate(), br19200);
        EXPECT_EQ(rig.port->DataBits(), dbEight);
        EXPECT_EQ(rig.port->StopBits(), sbOneStopBit);
        EXPECT_EQ(rig.port->Parity().Bits(), prNone);
        EXPECT_EQ(rig.port->FlowControl().FlowControl(), fcNone);
        EXPECT_EQ(rig.port->UpdateCount(), 0);
        EXPECT_EQ(setupDialogsAlive(), 0);
    }
}

TEST(SetupDialog, EnterInABoxPressesOk)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    runDialog(*rig.port, [&](TComSetupFrm& dlg) {
        choose(dlg.Combo5, "Odd");
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(dlg.Combo5, &enter);
    });
    EXPECT_EQ(rig.port->Parity().Bits(), prOdd);
}

TEST(SetupDialog, OkOnAClosedPortOnlyStoresTheValues)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    runDialog(*rig.port, [&](TComSetupFrm& dlg) {
        choose(dlg.Combo1, "COM10");
        choose(dlg.Combo2, "115200");
        choose(dlg.Combo5, "Space");
        dlg.Button1->click();
    });
    EXPECT_FALSE(rig.port->Connected());
    EXPECT_TRUE(rig.backend->calls().empty());
    EXPECT_EQ(rig.port->Port(), "COM10");
    EXPECT_EQ(rig.port->BaudRate(), br115200);
    EXPECT_EQ(rig.port->Parity().Bits(), prSpace);
    EXPECT_EQ(rig.port->UpdateCount(), 0);
    // The next open takes them.
    rig.port->Open();
    ASSERT_EQ(rig.backend->dcbs().size(), 1u);
    EXPECT_EQ(rig.backend->dcbs()[0].BaudRate, 115200u);
    EXPECT_EQ(rig.backend->dcbs()[0].Parity, 4);
    EXPECT_EQ(rig.backend->calls({"open"}), (Names{"open COM10"}));
}

TEST(SetupDialog, CustomBaudRunsAtCustomBaudRate)
{
    ScopedPorts ports(kPorts);
    for (int custom : {9600, 4800}) {
        Rig rig;
        rig.port->SetCustomBaudRate(custom);
        rig.open();
        runDialog(*rig.port, [&](TComSetupFrm& dlg) {
            choose(dlg.Combo2, "Custom");
            dlg.Button1->click();
        });
        EXPECT_EQ(rig.port->BaudRate(), brCustom);
        EXPECT_EQ(rig.port->CustomBaudRate(), custom);
        ASSERT_EQ(rig.backend->dcbs().size(), 1u);
        EXPECT_EQ(rig.backend->dcbs()[0].BaudRate, static_cast<std::uint32_t>(custom));
    }
}

TEST(SetupDialog, EachFlowControlChoice)
{
    ScopedPorts ports(kPorts);
    struct Row
    {
        const char* choice;
        TRTSFlowControl rts;
        bool cts, xonIn, xonOut;
    };
    // Before: a mixed setting the summary calls Custom, with DTR and DSR values the summary
    // never touches.
    const Row rows[] = {
        {"Hardware", rtsHandshake, true, false, false},
        {"Software", rtsDisable, false, true, true},
        {"None", rtsDisable, false, false, false},
        {"Custom", rtsToggle, true, true, false},
    };
    for (const auto& row : rows) {
        Rig rig;
        TComFlowControl& fc = rig.port->FlowControl();
        fc.SetControlRTS(rtsToggle);
        fc.SetOutCTSFlow(true);
        fc.SetXonXoffIn(true);
        fc.SetControlDTR(dtrHandshake);
        fc.SetOutDSRFlow(true);
        ASSERT_EQ(fc.FlowControl(), fcCustom);
        rig.open();
        std::string shown;
        runDialog(*rig.port, [&](TComSetupFrm& dlg) {
            shown = dlg.Combo6->Text();
            choose(dlg.Combo6, row.choice);
            dlg.Button1->click();
        });
        EXPECT_EQ(shown, "Custom");
        EXPECT_EQ(fc.ControlRTS(), row.rts) << row.choice;
        EXPECT_EQ(fc.OutCTSFlow(), row.cts) << row.choice;
        EXPECT_EQ(fc.XonXoffIn(), row.xonIn) << row.choice;
        EXPECT_EQ(fc.XonXoffOut(), row.xonOut) << row.choice;
        EXPECT_EQ(fc.ControlDTR(), dtrHandshake) << row.choice;
        EXPECT_TRUE(fc.OutDSRFlow()) << row.choice;
        EXPECT_EQ(rig.backend->dcbs().size(), 1u) << row.choice;
    }
}

// A port named in "ComPort.ini" but not listed (a link, a by-id path): listed too and shown,
// so OK keeps the working port, and the new line settings reach it at once.
TEST(SetupDialog, OkKeepsAPortThatIsNotListed)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    rig.port->SetPort("/tmp/memvane-sim/radio");
    rig.open();
    rig.port->OnBeforeClose = [](TCustomComPort*) { ADD_FAILURE() << "no reopen expected"; };
    Names items;
    runDialog(*rig.port, [&](TComSetupFrm& dlg) {
        items = dlg.Combo1->ComSelect().Items();
        EXPECT_EQ(dlg.Combo1->Text(), "/tmp/memvane-sim/radio");
        choose(dlg.Combo2, "38400");
        dlg.Button1->click();
    });
    rig.port->OnBeforeClose = nullptr;
    EXPECT_EQ(items, (Names{"/tmp/memvane-sim/radio", "COM1", "COM10", "COM2", "ttyUSB0"}));
    EXPECT_TRUE(rig.port->Connected());
    EXPECT_EQ(rig.port->Port(), "/tmp/memvane-sim/radio");
    EXPECT_EQ(rig.deviceCalls(), (Names{"setupComm 1024 1024", "setCommState", "setCommTimeouts"}));
    ASSERT_EQ(rig.backend->dcbs().size(), 1u);
    EXPECT_EQ(rig.backend->dcbs()[0].BaudRate, 38400u);
}

TEST(SetupDialog, AChosenPortThatCannotOpenKeepsTheOtherChoices)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    rig.open();
    rig.backend->failOpen("ttyUSB0", ENOENT);
    try {
        runDialog(*rig.port, [&](TComSetupFrm& dlg) {
            choose(dlg.Combo1, "ttyUSB0");
            choose(dlg.Combo2, "57600");
            choose(dlg.Combo6, "Software");
            dlg.Button1->click();
        });
        FAIL() << "expected EComPort";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 1);
        EXPECT_EQ(e.WinCode(), ENOENT);
        EXPECT_STREQ(e.what(), "COM Port Error: Unable to open com port on ttyUSB0");
    }
    EXPECT_FALSE(rig.port->Connected());
    EXPECT_EQ(rig.port->Port(), "ttyUSB0");
    // The other choices are kept, and the update block is closed.
    EXPECT_EQ(rig.port->BaudRate(), br57600);
    EXPECT_EQ(rig.port->FlowControl().FlowControl(), fcSoftware);
    EXPECT_EQ(rig.port->UpdateCount(), 0);
    EXPECT_EQ(rig.deviceCalls(), (Names{"close", "open ttyUSB0"}));
    EXPECT_EQ(setupDialogsAlive(), 0);
}

TEST(SetupDialog, LineSettingsErrorAtTheEndReachesTheCaller)
{
    ScopedPorts ports(kPorts);
    Rig rig;
    rig.open();
    rig.backend->failOp("setCommState", EINVAL);
    try {
        runDialog(*rig.port, [&](TComSetupFrm& dlg) {
            choose(dlg.Combo2, "256000");
            dlg.Button1->click();
        });
        FAIL() << "expected EComPort";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 7);
    }
    EXPECT_EQ(rig.port->BaudRate(), br256000);
    EXPECT_EQ(rig.port->UpdateCount(), 0);
    EXPECT_TRUE(rig.port->Connected());
    EXPECT_EQ(setupDialogsAlive(), 0);
}

TEST(SetupDialog, NoPortListShowsNoDialogAndChangesNothing)
{
    ScopedPorts ports(
        PortLister([]() -> Names { throw EComPort(CError_RegError, ENOENT, std::string()); }));
    Rig rig;
    rig.open();
    bool acted = false;
    try {
        runDialog(*rig.port, [&](TComSetupFrm& dlg) {
            acted = true;
            dlg.Button1->click();
        });
        FAIL() << "expected EComPort";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 23);
        EXPECT_STREQ(e.what(), "COM Port Error: Registry error on registry read");
    }
    // Let the dialog finder run out: it must never see a dialog.
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    EXPECT_EQ(setupDialogsAlive(), 0);
    EXPECT_TRUE(rig.port->Connected());
    EXPECT_TRUE(rig.deviceCalls().empty());
    EXPECT_FALSE(acted);
}

} // namespace
} // namespace memvane
