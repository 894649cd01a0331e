#pragma once
// The platform's share of the window's fonts (app/posix/, app/win32/).

#include <QFont>
#include <QStringList>

namespace memvane {

// The faces designFont tries after the design faces, in order: faces of Tahoma's widths, so the
// fixed layout (an 80-pixel column holding "0145.500000") keeps fitting.
QStringList fallbackFontFamilies();

// How text is to be rasterised: as the system is set up, except where its default loses glyphs.
QFont::StyleStrategy fontStyleStrategy();

} // namespace memvane
