#include "serial/CPortSetup.h"

#include "serial/CPortCtl.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>

#include <utility>

namespace memvane {

namespace {

// The design face is 8 point at 96 dpi, 11 pixels high; pixels keep the fixed layout intact on
// screens of any resolution. Without the face, faces of its width come first: a wider one
// pushes "Flow control" into its box.
QFont dialogFont()
{
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans",
                      "Nimbus Sans", "Helvetica", "DejaVu Sans", "Sans Serif"});
    font.setPixelSize(11);
    return font;
}

// The controls sit at fixed places inside the group, which assume its caption is drawn on the
// frame's top line, as the Windows style does. Styles that put the caption above the frame
// would have the first box cross the line. A style sheet would do too, but it stops the
// group's children from taking the dialog's font.
QStyle* groupStyle(QObject* owner)
{
    QStyle* style = QStyleFactory::create(QStringLiteral("Windows"));
    if (style)
        style->setParent(owner);
    return style;
}

QLabel* makeLabel(QWidget* parent, const char* name, const char* caption, int left, int top)
{
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->adjustSize();
    label->move(left, top);
    return label;
}

TComComboBox* makeCombo(QWidget* parent, const char* name, TComProperty property, int top)
{
    auto* combo = new TComComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setGeometry(80, top, 129, 21);
    combo->SetComProperty(property);
    return combo;
}

} // namespace

TComSetupFrm::TComSetupFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("ComSetupFrm"));
    setWindowTitle(QStringLiteral("Setup"));
    setFont(dialogFont());
    setFixedSize(231, 216);

    GroupBox1 = new QGroupBox(QStringLiteral(" Settings "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 217, 169);
    if (QStyle* style = groupStyle(this))
        GroupBox1->setStyle(style);

    Label1 = makeLabel(GroupBox1, "Label1", "Port", 8, 24);
    Label2 = makeLabel(GroupBox1, "Label2", "Baud rate", 8, 48);
    Label3 = makeLabel(GroupBox1, "Label3", "Data bits", 8, 72);
    Label4 = makeLabel(GroupBox1, "Label4", "Stop bits", 8, 96);
    Label5 = makeLabel(GroupBox1, "Label5", "Parity", 8, 120);
    Label6 = makeLabel(GroupBox1, "Label6", "Flow control", 8, 144);

    // The port list is read here; with no port at all this throws and the dialog never shows.
    Combo1 = makeCombo(GroupBox1, "Combo1", cpPort, 16);
    Combo2 = makeCombo(GroupBox1, "Combo2", cpBaudRate, 40);
    Combo3 = makeCombo(GroupBox1, "Combo3", cpDataBits, 64);
    Combo4 = makeCombo(GroupBox1, "Combo4", cpStopBits, 88);
    Combo5 = makeCombo(GroupBox1, "Combo5", cpParity, 112);
    Combo6 = makeCombo(GroupBox1, "Combo6", cpFlowControl, 136);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(70, 184, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(150, 184, 75, 25);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    // For assistive technology each box is named after the caption beside it; on Linux the
    // caption reaches a screen reader as the box's label.
    const std::pair<QLabel*, TComComboBox*> captions[] = {{Label1, Combo1}, {Label2, Combo2},
                                                          {Label3, Combo3}, {Label4, Combo4},
                                                          {Label5, Combo5}, {Label6, Combo6}};
    for (auto [label, combo] : captions) {
        label->setBuddy(combo);
        combo->setAccessibleName(label->text());
    }

    setTabOrder(Combo1, Combo2);
    setTabOrder(Combo2, Combo3);
    setTabOrder(Combo3, Combo4);
    setTabOrder(Combo4, Combo5);
    setTabOrder(Combo5, Combo6);
    setTabOrder(Combo6, Button1);
    setTabOrder(Button1, Button2);
    Combo1->setFocus();
}

void TComSetupFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect area = screen->availableGeometry();
        QSize outer = frameGeometry().size();
        move(area.x() + (area.width() - outer.width()) / 2,
             area.y() + (area.height() - outer.height()) / 2);
    }
}

} // namespace memvane
