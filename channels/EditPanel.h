#pragma once
// The edit panel's logic, apart from its widgets: opening a channel row into the panel's texts,
// the panel calculation behind "Refrash" and "Change Line", and the write-back of "Change Line".
//
// The calculation takes the receive frequency typed in Edit8 and derives the transmit frequency
// and the split/duplex text from a fixed band plan (receive MHz -> offset, text):
//
//   433.0 <= rx < 433.38125  +1.6  "Duplex +"      70.0 <= rx <= 70.5   none  "Duplex Off"
//   430.0 <= rx <= 432.0     +7.6  "Duplex +"      50.0 <= rx <= 52.0   +0.5  "Duplex +"
//   144.0 <= rx <= 146.0     -0.6  "Duplex --"     anything else        none  "Split On"
//
// or from the offset chosen in ComboBox1 ("Manual Select") in the four bands with an offset.
// Bands are decided on the receive frequency rounded to whole hertz, the value Edit4 then
// shows, so a typed 146 or 70.5 lies in its band and 433.38125 outside, however the decimal
// text rounds in binary. Frequencies and offsets are added in whole hertz.
//
// Everything runs on the user-interface thread. A text that is not a number throws
// EConvertError "'%s' is not a valid floating point value" before any panel text or row
// changes.

#include "channels/ChannelList.h"
#include "core/ProgramState.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace memvane {

// The entries of the panel's three drop-down lists, in their order.
inline const std::array<std::string, 7> kEditModeEntries = {"LSB",  "USB", "AM",     "CW",
                                                            "RTTY", "FM",  "Wide FM"};
inline const std::array<std::string, 3> kEditFilterEntries = {"Narrow", "Normal", "Wide"};
inline const std::array<std::string, 10> kEditOffsetEntries = {
    "7.6", "1.6", "5", "-5", "0.5", "-0.5", "0.6", "-0.6", "0.1", "-0.1"};

// What the calculation reads from the panel.
struct EditPanelInput
{
    std::string rxText;        // Edit8: the receive frequency to use
    std::string txBaseText;    // Edit7 (hidden): transmit base; empty counts as "0", 0 means rx
    bool splitOn = false;      // CheckBox1 "Split/Duplex On  " (ticked)
    bool manualSelect = false; // CheckBox2 "Manual Select" (ticked, enabled or not)
    // Text of ComboBox1's selected entry; nothing when no entry is selected (a typed text).
    std::optional<std::string> offsetEntry;
    std::string modeEntry;   // text of ComboBox2's selected entry, empty when none
    std::string filterEntry; // text of ComboBox3's selected entry, empty when none
};

// What the calculation puts back.
struct EditPanelTexts
{
    std::string rx;        // Edit4: rx as "0000.000000"
    std::string txBase;    // Edit7: its text, "0" when it was empty
    std::string tx;        // Edit3: transmit frequency as "0000.000000"
    std::string mode;      // Edit5
    std::string filter;    // Edit6
    std::string editsplit; // ProgramState::editsplit: "Split On", "Duplex +", "Duplex --" or
                           // "Duplex Off"; not shown, stored by "Change Line"

    bool operator==(const EditPanelTexts&) const = default;
};

// The panel calculation. Throws EConvertError for Edit8, Edit7 or, with Manual Select ticked,
// the offset entry (an empty text when none is selected), in that order.
EditPanelTexts calculateEditPanel(const EditPanelInput& input);

// What ListView1DblClick puts into the panel from a row. Missing texts of a short row read as
// empty. Edit7 is emptied and ComboBox1 selects kEditOffsetEntries[0] ("7.6") on every open;
// CheckBox2 keeps its state.
struct EditPanelRowView
{
    std::string memLoc;   // Edit2 ("Mem Loc")
    std::string tx;       // Edit3 ("Freq VFO A")
    std::string rx;       // Edit4 and Edit8 ("Freq VFO B")
    std::string mode;     // Edit5 ("Mode")
    std::string filter;   // Edit6 ("filter")
    int modeIndex = -1;   // ComboBox2 entry equal to `mode` ignoring letter case, -1 for none
    int filterIndex = -1; // ComboBox3 entry equal to `filter` ignoring letter case, -1 for none
    bool splitOn = false; // CheckBox1: clear only for exactly "Duplex Off"
    std::string comment;  // ccomment: the row's comment, or "Comment" when it is empty

    bool operator==(const EditPanelRowView&) const = default;
};

// Reads row `selected` of `list`. Nothing when no row is selected or the index is not a row:
// the panel opens but no field changes.
std::optional<EditPanelRowView> readEditPanelRow(const ChannelList& list,
                                                 std::optional<std::size_t> selected);

// "Refrash" (Button2Click): the calculation, with `state.editsplit` set from its result.
EditPanelTexts refrashEditPanel(const EditPanelInput& input, ProgramState& state);

// "Change Line" (changeClick): the calculation as for "Refrash", then the selected row (if
// there is one) is ticked and gets "Mem Loc" = `memLoc` (Edit2), "Freq VFO A" = tx,
// "Freq VFO B" = rx, "Mode", "filter" and "Duplex / Split" = editsplit. Its comment and later
// texts stay. Without a selected row nothing is written and nothing is shown.
EditPanelTexts changeEditPanelLine(ChannelList& list, std::optional<std::size_t> selected,
                                   const std::string& memLoc, const EditPanelInput& input,
                                   ProgramState& state);

} // namespace memvane
