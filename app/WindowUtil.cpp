#include "app/WindowUtil.h"

#include "app/FontFallbacks.h"

#include <QComboBox>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>

namespace memvane {

namespace {
constexpr const char* kMinProperty = "memvaneOuterMin";
constexpr const char* kMaxProperty = "memvaneOuterMax";

QSize frameExtra(const QWidget* window)
{
    if (!window->isVisible())
        return {0, 0};
    return window->frameGeometry().size() - window->geometry().size();
}

int inner(int outer, int extra)
{
    if (outer >= QWIDGETSIZE_MAX)
        return QWIDGETSIZE_MAX;
    return std::max(0, outer - extra);
}
} // namespace

QFont designFont(const QStringList& families, int pixelHeight)
{
    // The font system answers a missing face with a substitute, so a face counts only when it
    // is the one actually found.
    QStringList candidates = families;
    candidates << fallbackFontFamilies();
    QFont font;
    for (const QString& name : candidates) {
        QFont probe(name);
        if (QFontInfo(probe).family().startsWith(name, Qt::CaseInsensitive)) {
            font.setFamily(name);
            break;
        }
    }
    font.setPixelSize(pixelHeight);
    font.setStyleStrategy(fontStyleStrategy());
    return font;
}

void centreOnScreen(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area = screen->availableGeometry();
    QSize outer = outerSize(window);
    window->move(area.x() + (area.width() - outer.width()) / 2,
                 area.y() + (area.height() - outer.height()) / 2);
}

void setOuterSize(QWidget* window, int width, int height)
{
    refreshOuterLimits(window);
    QSize extra = frameExtra(window);
    window->resize(width - extra.width(), height - extra.height());
}

QSize outerSize(const QWidget* window)
{
    return window->size() + frameExtra(window);
}

void setOuterLimits(QWidget* window, QSize minimum, QSize maximum)
{
    window->setProperty(kMinProperty, minimum);
    window->setProperty(kMaxProperty, maximum);
    refreshOuterLimits(window);
}

void refreshOuterLimits(QWidget* window)
{
    QVariant min = window->property(kMinProperty);
    QVariant max = window->property(kMaxProperty);
    if (!min.isValid() || !max.isValid())
        return;
    QSize extra = frameExtra(window);
    QSize lo = min.toSize(), hi = max.toSize();
    // Widen first, so a tighter new pair never meets an old one that excludes it.
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->setMinimumSize(inner(lo.width(), extra.width()), inner(lo.height(), extra.height()));
    window->setMaximumSize(inner(hi.width(), extra.width()), inner(hi.height(), extra.height()));
}

void centreOnFirstShow(QWidget* window, bool& centred)
{
    if (centred)
        return;
    centred = true;
    centreOnScreen(window);
}

QAction* addMenuItem(QWidget* menu, const char* caption, const char* name)
{
    auto* item = new QAction(QString::fromUtf8(caption), menu);
    item->setObjectName(name);
    menu->addAction(item);
    return item;
}

std::optional<std::string> selectedEntry(const QComboBox* box)
{
    int i = box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0)
        return std::nullopt;
    return box->itemText(i).toStdString();
}

void selectEntry(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    if (index < 0)
        box->setEditText(QString());
}

} // namespace memvane
