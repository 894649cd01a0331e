#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPixmap>

namespace memvane {

QIcon programIcon()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // The installed icon's drawing (packaging/icons/memvane.svg) at half size: the channel
    // list, a check box and a memory row per line.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1F, 0x4E, 0x79));
    p.drawRoundedRect(2, 2, 28, 28, 5, 5);
    const int rowWidths[] = {17, 13, 17, 10};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(Qt::white);
        p.drawRect(5, 6 + i * 5, 3, 3);
        p.setBrush(QColor(0xF5, 0xC2, 0x42));
        p.drawRoundedRect(10, 6 + i * 5, rowWidths[i], 3, 1, 1);
    }
    return QIcon(pm);
}

} // namespace memvane
