#include "app/Unit3.h"

#include "app/Accessibility.h"
#include "app/WindowUtil.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace memvane {

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("Form3");
    setWindowTitle("Error List");
    setFont(designFont({"Segoe UI"}, 12));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setMinimumSize(550, 350);
    Memo1->setMaximumSize(600, 350);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    // The box's limits are the window's: 550 to 600 wide, exactly 350 high inside the frame.
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);

    resize(585, 350);
    setUpAccessibility(*this);
}

void TForm3::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    centreOnFirstShow(this, m_centred);
}

} // namespace memvane
