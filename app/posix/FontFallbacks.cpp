#include "app/FontFallbacks.h"

namespace memvane {

// Linux desktops rarely have Tahoma or Segoe UI; these metric-compatible or near faces do.
QStringList fallbackFontFamilies()
{
    return {"Liberation Sans", "Arial", "Nimbus Sans", "DejaVu Sans"};
}

// Fontconfig's settings are the user's.
QFont::StyleStrategy fontStyleStrategy()
{
    return QFont::PreferDefault;
}

} // namespace memvane
