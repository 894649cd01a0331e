#include "app/FontFallbacks.h"

#include <windows.h>

namespace memvane {

// Every Windows since XP has Tahoma: it stands in for Segoe UI where that is missing (older
// systems, wine) and matches the dialogs around it there. The sans faces of Linux come after it,
// for wine, which offers the host's fonts and may lack its own Tahoma (Debian's does).
QStringList fallbackFontFamilies()
{
    return {"Tahoma", "Microsoft Sans Serif", "Arial", "Liberation Sans", "DejaVu Sans"};
}

namespace {
bool underWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
} // namespace

// Windows draws text as its font smoothing setting says. Wine's default is smoothing off, and
// its monochrome rasteriser drops one-pixel stems of hinted faces at small sizes: at 11 px the
// menu would read "C -V Address". Gray antialiasing draws them there.
QFont::StyleStrategy fontStyleStrategy()
{
    static const bool wine = underWine();
    return wine ? QFont::PreferAntialias : QFont::PreferDefault;
}

} // namespace memvane
