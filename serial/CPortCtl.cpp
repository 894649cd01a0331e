#include "serial/CPortCtl.h"

#include "core/TextBytes.h"
#include "serial/CPort.h"
#include "serial/PortEnumerator.h"

#include <algorithm>

namespace memvane {

namespace {

// Device names are bytes; shown as UTF-8 when they are, else byte for byte.
QString toDisplay(const std::string& bytes)
{
    QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString text = QString::fromUtf8(raw);
    if (text.toUtf8() != raw)
        return QString::fromLatin1(raw);
    return text;
}

template <typename E, typename ToStr>
void fillFromEnum(std::vector<std::string>& items, int count, ToStr toStr)
{
    items.clear();
    for (int i = 0; i < count; ++i)
        items.emplace_back(toStr(static_cast<E>(i)));
}

} // namespace

// ---- TComSelect --------------------------------------------------------------------------

void TComSelect::SelectPort()
{
    FItems.clear();
    FItems = ListSerialPorts();
}

void TComSelect::SelectBaudRate()
{
    fillFromEnum<TBaudRate>(FItems, BaudRateCount, BaudRateToStr);
}

void TComSelect::SelectDataBits()
{
    fillFromEnum<TDataBits>(FItems, DataBitsCount, DataBitsToStr);
}

void TComSelect::SelectStopBits()
{
    fillFromEnum<TStopBits>(FItems, StopBitsCount, StopBitsToStr);
}

void TComSelect::SelectParity()
{
    fillFromEnum<TParityBits>(FItems, ParityCount, ParityToStr);
}

void TComSelect::SelectFlowControl()
{
    fillFromEnum<TFlowControl>(FItems, FlowControlCount, FlowControlToStr);
}

void TComSelect::SetComProperty(TComProperty Value)
{
    FComProperty = Value;
    switch (Value) {
    case cpNone:
        FItems.clear();
        break;
    case cpPort:
        SelectPort();
        break;
    case cpBaudRate:
        SelectBaudRate();
        break;
    case cpDataBits:
        SelectDataBits();
        break;
    case cpStopBits:
        SelectStopBits();
        break;
    case cpParity:
        SelectParity();
        break;
    case cpFlowControl:
        SelectFlowControl();
        break;
    }
}

void TComSelect::Change(const std::string& Text)
{
    // Listed texts always convert; the fallbacks only matter for texts from elsewhere.
    switch (FComProperty) {
    case cpNone:
        break;
    case cpPort:
        FPort = Text;
        break;
    case cpBaudRate:
        FBaudRate = StrToBaudRate(Text);
        break;
    case cpDataBits:
        FDataBits = StrToDataBits(Text);
        break;
    case cpStopBits:
        FStopBits = StrToStopBits(Text);
        break;
    case cpParity:
        FParity = StrToParity(Text);
        break;
    case cpFlowControl:
        FFlowControl = StrToFlowControl(Text);
        break;
    }
    if (FAutoApply)
        ApplySettings();
}

std::string TComSelect::currentText() const
{
    switch (FComProperty) {
    case cpNone:
        return {};
    case cpPort:
        return FComPort->Port();
    case cpBaudRate:
        return BaudRateToStr(FComPort->BaudRate());
    case cpDataBits:
        return DataBitsToStr(FComPort->DataBits());
    case cpStopBits:
        return StopBitsToStr(FComPort->StopBits());
    case cpParity:
        return ParityToStr(FComPort->Parity().Bits());
    case cpFlowControl:
        return FlowControlToStr(FComPort->FlowControl().FlowControl());
    }
    return {};
}

void TComSelect::UpdateSettings(int& ItemIndex)
{
    if (!FComPort)
        return;
    ItemIndex = -1;
    if (FComProperty == cpNone)
        return;
    std::string current = currentText();
    auto found = std::find_if(FItems.begin(), FItems.end(),
                              [&](const std::string& item) { return SameText(item, current); });
    if (found == FItems.end()) {
        // A port the list does not offer (a name typed into "ComPort.ini", a link, a by-id
        // path) is still the port in use: listed and shown, so OK keeps it rather than
        // emptying the name and closing a working line.
        if (FComProperty != cpPort || current.empty())
            return;
        FItems.push_back(current);
        SortPortNames(FItems);
        found = std::find(FItems.begin(), FItems.end(), current);
    }
    ItemIndex = static_cast<int>(found - FItems.begin());
    // Showing a value is not a choice: no AutoApply here.
    bool autoApply = FAutoApply;
    FAutoApply = false;
    Change(*found);
    FAutoApply = autoApply;
}

void TComSelect::ApplySettings()
{
    if (!FComPort)
        return;
    switch (FComProperty) {
    case cpNone:
        break;
    case cpPort:
        // No name was ever shown or chosen: keep the port's own rather than close it.
        if (!FPort.empty())
            FComPort->SetPort(FPort);
        break;
    case cpBaudRate:
        FComPort->SetBaudRate(FBaudRate);
        break;
    case cpDataBits:
        FComPort->SetDataBits(FDataBits);
        break;
    case cpStopBits:
        FComPort->SetStopBits(FStopBits);
        break;
    case cpParity:
        FComPort->Parity().SetBits(FParity);
        break;
    case cpFlowControl:
        FComPort->FlowControl().SetFlowControl(FFlowControl);
        break;
    }
}

// ---- TComComboBox ------------------------------------------------------------------------

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent)
{
    // A plain QComboBox is the drop-down-list style: only listed items can be picked.
    setEditable(false);
    connect(this, &QComboBox::currentIndexChanged, this, &TComComboBox::selectionChanged);
}

TComComboBox::~TComComboBox()
{
    if (auto* port = FComSelect.ComPort())
        port->RemoveFreeNotification(this);
}

void TComComboBox::SetComPort(TCustomComPort* Value)
{
    TCustomComPort* old = FComSelect.ComPort();
    if (old == Value)
        return;
    if (old)
        old->RemoveFreeNotification(this);
    FComSelect.SetComPort(Value);
    if (Value) {
        Value->FreeNotification(this, [this] { portDestroyed(); });
        UpdateSettings();
    }
}

void TComComboBox::SetComProperty(TComProperty Value)
{
    try {
        FComSelect.SetComProperty(Value);
    } catch (...) {
        fillItems(); // the list was emptied: show that, not the old items
        throw;
    }
    fillItems();
    if (FComSelect.ComPort())
        UpdateSettings();
}

void TComComboBox::fillItems()
{
    m_updating = true;
    clear();
    for (const auto& item : FComSelect.Items())
        addItem(toDisplay(item));
    // A new list shows no choice until the port's value is looked up.
    setCurrentIndex(-1);
    m_updating = false;
}

std::string TComComboBox::Text() const
{
    int i = currentIndex();
    const auto& items = FComSelect.Items();
    if (i < 0 || i >= static_cast<int>(items.size()))
        return {};
    return items[static_cast<std::size_t>(i)];
}

void TComComboBox::SetText(const std::string& Value)
{
    const auto& items = FComSelect.Items();
    auto it = std::find(items.begin(), items.end(), Value);
    if (it == items.end())
        return;
    // The shown item is always the pending one, so re-selecting it needs nothing more.
    setCurrentIndex(static_cast<int>(it - items.begin()));
}

void TComComboBox::UpdateSettings()
{
    int index = currentIndex();
    const std::vector<std::string> listed = FComSelect.Items();
    FComSelect.UpdateSettings(index);
    if (FComSelect.Items() != listed)
        fillItems(); // the port in use was added to the list
    m_updating = true;
    setCurrentIndex(index);
    m_updating = false;
}

void TComComboBox::selectionChanged(int index)
{
    if (m_updating || index < 0)
        return;
    const auto& items = FComSelect.Items();
    if (index < static_cast<int>(items.size()))
        FComSelect.Change(items[static_cast<std::size_t>(index)]);
}

void TComComboBox::portDestroyed()
{
    FComSelect.SetComPort(nullptr);
    if (count() > 0)
        setCurrentIndex(0);
}

} // namespace memvane
