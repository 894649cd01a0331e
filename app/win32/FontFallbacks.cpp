#include "app/FontFallbacks.h"

namespace memvane {

// Every Windows since XP has Tahoma, and wine brings its own: it stands in for Segoe UI where
// that is missing (wine, older systems) and matches the dialogs around it there. The sans faces
// of Linux come after it, since wine also offers the host's fonts.
QStringList fallbackFontFamilies()
{
    return {"Tahoma", "Microsoft Sans Serif", "Arial", "Liberation Sans", "DejaVu Sans"};
}

} // namespace memvane
