#pragma once
// Keyboard reach and screen-reader names for the program's windows, set up once when each
// window is built.
//
// - Menu bars: Alt alone (Qt's own handling) or F10 puts the bar in keyboard mode with its first
//   item lit; the arrow keys move, Enter triggers or opens, Escape leaves and gives the focus
//   back. The lit item shows only while the bar holds the keyboard focus, so a pointer
//   hovering over the bar looks as before.
// - Lists: Space ticks or unticks the current row of the channel list; Enter or the
//   context-menu key on a row of either list does what a double click does, and then puts the
//   focus into the edit panel's first box (the keyboard user's next step; a double click leaves
//   the focus where the mouse user has it).
// - The edit panel's controls are in the order a user fills them in: new values first, the
//   row's present values after them.
// - Controls without a caption of their own get an accessible name and description. The status
//   label keeps none: Qt announces each new text as a change of its name.

class QMainWindow;

namespace memvane {

class TForm1;
class TForm2;
class TForm3;

void enableMenuBarKeyboard(QMainWindow* window);

void setUpAccessibility(TForm1& form);
void setUpAccessibility(TForm2& form);
void setUpAccessibility(TForm3& form);

} // namespace memvane
