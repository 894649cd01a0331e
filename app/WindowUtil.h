#pragma once
// Small helpers the three windows share: the design fonts (with fall-backs for machines that do
// not have the design faces), centring on the screen, and sizes and size limits of a window's
// outer size (frame included, as the window manager draws it). Qt sizes and limits apply to the
// inside of the frame, and the frame is known only once a window is shown, so the limits are
// kept with the window and applied again whenever its frame may have changed.

#include <QAction>
#include <QFont>
#include <QSize>
#include <QStringList>

#include <optional>
#include <string>

class QComboBox;
class QWidget;

namespace memvane {

// `families` first, then common sans faces; `pixelHeight` is the character height.
QFont designFont(const QStringList& families, int pixelHeight);

void centreOnScreen(QWidget* window);
// Centres the window the first time it is shown; `centred` is the window's memory of it.
void centreOnFirstShow(QWidget* window, bool& centred);

// Outer size, window frame included (when a window manager draws one).
void setOuterSize(QWidget* window, int width, int height);
QSize outerSize(const QWidget* window);

// Size limits of the outer size; QWIDGETSIZE_MAX for no limit.
void setOuterLimits(QWidget* window, QSize minimum, QSize maximum);
// Applies the stored limits for the window's current frame (call when it is shown).
void refreshOuterLimits(QWidget* window);

// An item at the end of a menu or menu bar, with its caption and object name.
QAction* addMenuItem(QWidget* menu, const char* caption, const char* name);
// The same, run by `handler` of `window` when chosen.
template <class Window>
QAction* addMenuItem(QWidget* menu, const char* caption, const char* name, Window* window,
                     void (Window::*handler)())
{
    QAction* item = addMenuItem(menu, caption, name);
    QObject::connect(item, &QAction::triggered, window, handler);
    return item;
}

// The entry whose text the box shows, if the shown text is one of its entries.
std::optional<std::string> selectedEntry(const QComboBox* box);
// Shows entry `index`; -1 empties the box.
void selectEntry(QComboBox* box, int index);

} // namespace memvane
