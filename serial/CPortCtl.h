#pragma once
// TComComboBox: a drop-down list bound to one value of a serial port (its name, baud rate, data
// bits, stop bits, parity or flow-control summary), and TComSelect, the box's value holder.
//
// How it works. Setting ComProperty fills the item list (for cpPort: the system's ports, read
// at that moment, which may raise EComPort code 23). Binding a port (ComPort) or
// UpdateSettings selects the item showing the port's current value, ignoring letter case, and
// makes it the pending value. A port name the list does not hold is added to it (in sorted
// place) and selected, so the port in use is always offered; for the other kinds, when no item
// shows the value, nothing is selected and the pending value stays. A choice in the list (by the user, or by assigning Text) becomes the pending value,
// which reaches the port only through ApplySettings, or at once with AutoApply. When the bound
// port is destroyed the box forgets it and selects its first item.
//
// Threads: main thread only, like the port. Nothing here waits.

#include "serial/CPortTypes.h"

#include <QComboBox>

#include <string>
#include <vector>

namespace memvane {

class TCustomComPort;

enum TComProperty { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

// The pending value of one box and the item list it offers. No widget in here, so the
// conversions can be tested on their own.
class TComSelect
{
public:
    TComSelect() = default;
    TComSelect(const TComSelect&) = delete;
    TComSelect& operator=(const TComSelect&) = delete;

    // Each empties the item list and fills it with the texts of its kind.
    void SelectPort(); // the system's ports; EComPort code 23 when there are none
    void SelectBaudRate();
    void SelectDataBits();
    void SelectStopBits();
    void SelectParity();
    void SelectFlowControl();

    // The item text `Text` was chosen: it becomes the pending value of the box's kind.
    void Change(const std::string& Text);
    // When bound: `ItemIndex` becomes the item showing the port's current value (letter case
    // ignored) and the pending value is taken from it, or -1 with the pending value unchanged.
    // For cpPort a non-empty name that is not listed is added to the items first.
    // Unbound: `ItemIndex` is left as it is.
    void UpdateSettings(int& ItemIndex);
    // When bound: hands the pending value to the port through its normal setter. An empty
    // pending port name (nothing was shown or chosen) leaves the port's name alone.
    void ApplySettings();

    TComProperty ComProperty() const { return FComProperty; }
    // Sets the kind and fills the item list for it (cpNone: empty).
    void SetComProperty(TComProperty Value);
    TCustomComPort* ComPort() const { return FComPort; }
    void SetComPort(TCustomComPort* Value) { FComPort = Value; }
    bool AutoApply() const { return FAutoApply; }
    void SetAutoApply(bool Value) { FAutoApply = Value; }
    const std::vector<std::string>& Items() const { return FItems; }

    // The pending values.
    const std::string& Port() const { return FPort; }
    TBaudRate BaudRate() const { return FBaudRate; }
    TDataBits DataBits() const { return FDataBits; }
    TStopBits StopBits() const { return FStopBits; }
    TParityBits Parity() const { return FParity; }
    TFlowControl FlowControl() const { return FFlowControl; }

private:
    // The port's current value of the box's kind, as item text.
    std::string currentText() const;

    std::string FPort;
    TBaudRate FBaudRate = brCustom;
    TDataBits FDataBits = dbFive;
    TStopBits FStopBits = sbOneStopBit;
    TParityBits FParity = prNone;
    TFlowControl FFlowControl = fcHardware;
    std::vector<std::string> FItems;
    TComProperty FComProperty = cpNone;
    TCustomComPort* FComPort = nullptr;
    bool FAutoApply = false;
};

class TComComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit TComComboBox(QWidget* parent = nullptr);
    ~TComComboBox() override;

    TCustomComPort* ComPort() const { return FComSelect.ComPort(); }
    // Binds the box (nothing happens when it is bound to that port already) and shows the
    // port's current value. Null unbinds.
    void SetComPort(TCustomComPort* Value);
    TComProperty ComProperty() const { return FComSelect.ComProperty(); }
    // Fills the item list for `Value` and, when bound, shows the current value.
    void SetComProperty(TComProperty Value);
    bool AutoApply() const { return FComSelect.AutoApply(); }
    void SetAutoApply(bool Value) { FComSelect.SetAutoApply(Value); }

    // The selected item's text, empty when none is selected. Assigning selects the item with
    // exactly that text, as if the user had chosen it; an unknown text changes nothing.
    std::string Text() const;
    void SetText(const std::string& Value);

    void ApplySettings() { FComSelect.ApplySettings(); }
    void UpdateSettings();

    const TComSelect& ComSelect() const { return FComSelect; }

private:
    void fillItems();
    void selectionChanged(int index);
    void portDestroyed();

    TComSelect FComSelect;
    bool m_updating = false; // the box itself is changing the selection
};

} // namespace memvane
