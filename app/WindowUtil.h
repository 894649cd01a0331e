#pragma once
// Small helpers the three windows share: the design fonts (with fall-backs for machines that do
// not have the design faces), centring on the screen, and sizes and size limits of a window's
// outer size (frame included, as the window manager draws it). Qt sizes and limits apply to the
// inside of the frame, and the frame is known only once a window is shown, so the limits are
// kept with the window and applied again whenever its frame may have changed.

#include <QFont>
#include <QSize>
#include <QStringList>

class QWidget;

namespace memvane {

// `families` first, then common sans faces; `pixelHeight` is the character height.
QFont designFont(const QStringList& families, int pixelHeight);

void centreOnScreen(QWidget* window);

// Outer size, window frame included (when a window manager draws one).
void setOuterSize(QWidget* window, int width, int height);
QSize outerSize(const QWidget* window);

// Size limits of the outer size; QWIDGETSIZE_MAX for no limit.
void setOuterLimits(QWidget* window, QSize minimum, QSize maximum);
// Applies the stored limits for the window's current frame (call when it is shown).
void refreshOuterLimits(QWidget* window);

} // namespace memvane
