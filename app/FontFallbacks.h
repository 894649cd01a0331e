#pragma once
// The faces designFont tries after the design faces, in order: faces of Tahoma's widths, so the
// fixed layout (an 80-pixel column holding "0145.500000") keeps fitting. Each platform has its
// own list (app/posix/, app/win32/).

#include <QStringList>

namespace memvane {

QStringList fallbackFontFamilies();

} // namespace memvane
