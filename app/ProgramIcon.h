#pragma once
// The main window's icon: the installed icon's drawing, painted at 32 by 32 pixels.

#include <QIcon>

namespace memvane {

QIcon programIcon();

} // namespace memvane
