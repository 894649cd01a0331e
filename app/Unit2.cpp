#include "app/Unit2.h"

#include "app/Accessibility.h"
#include "app/WindowUtil.h"

#include <QMenuBar>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace memvane {

namespace {

struct HelpLine
{
    int blanks;
    const char8_t* text;
};

const HelpLine kAboutLines[] = {
    {23, u8""},                                                           // 1
    {23, u8"Memvane"},                                                    // 2
    {38, u8"Ver: 6.1.1"},                                                 // 3
    {39, u8"by the Memvane authors"},                                     // 4
    {35, u8"for the IC-706 family of transceivers"},                      // 5
    {25, u8"Free to use and to share, with no warranty of any kind."},    // 6
    {0, u8""},                                                            // 7
    {4, u8""},                                                            // 8
    {4, u8""},                                                            // 9
    {4, u8""},                                                            // 10
    {4, u8""},                                                            // 11
    {4, u8"This program neither loads, uses or alters any other files."}, // 12
    {4, u8"The only files saved are the com port setup file and"},        // 13
    {4, u8"Configuration files."},                                        // 14
};

const HelpLine kHelpLines[] = {
    {0, u8""},                                                                                // 1
    {35, u8"Memvane"},                                                                        // 2
    {51, u8"Ver: 6.1.1"},                                                                     // 3
    {53, u8"by the Memvane authors"},                                                         // 4
    {48, u8"for the IC-706 family of transceivers"},                                          // 5
    {37, u8"Free to use and to share, with no warranty of any kind."},                        // 6
    {0, u8""},                                                                                // 7
    {7, u8"This program has been produced as a means to “see if I can” write a"},             // 8
    {7, u8"program that is able to:"},                                                        // 9
    {11, u8"Communicate with Icom IC706MKiiG via a CI-V interface."},                         // 10
    {11, u8"Read all memory channels and save them as a *.txt (comma separated) file."},      // 11
    {11, u8"To edit any channels frequency, Mode, filter and transmit offset."},              // 12
    {11, u8"To save any changes to file."},                                                   // 13
    {11, u8"To Write one or all channels from a selected file to the radio."},                // 14
    {0, u8""},                                                                                // 15
    {8, u8"There have been many false starts but finally this is a stable version with the"}, // 16
    {8,
     u8"functionality I wanted. I could add many remote-control features, but this is just"}, // 17
    {8, u8"a memory management program and not a remote-control program."},                   // 18
    {0, u8""},                                                                                // 19
    {8, u8"Memvane is written in C++ with the Qt toolkit, a standalone program needing no other "
        u8"files"},                                                                          // 20
    {8, u8"for it's operation. It creates a com port configuration file and uses one file"}, // 21
    {8, u8"containing a list of frequencies and comments for that frequency. These can"},    // 22
    {8, u8"be loaded into a configuration and saved to file. They are NOT saved to the"},    // 23
    {8, u8"radio."},                                                                         // 24
    {0, u8""},                                                                               // 25
    {7, u8"This is a PC only program and has been tested under Windows 10 and Windows 11,"}, // 26
    {7, u8"Initally built on XP and tested on XP and Windows7. I see no reason why they"},   // 27
    {7, u8"should not still be OK."},                                                        // 28
    {0, u8""},                                                                               // 29
    {7,
     u8"Sadley, the interface does not have the ability to read and write either Tones or"},   // 30
    {7, u8"Comments. Also when writing to a channel that has had a comment set, the "},        // 31
    {7, u8"comment will be deleted."},                                                         // 32
    {0, u8""},                                                                                 // 33
    {4, u8"Operation"},                                                                        // 34
    {8, u8"The radio set mode items should be set as follows:"},                               // 35
    {15, u8"item 34 = 58H"},                                                                   // 36
    {15, u8"item 35 = 19200"},                                                                 // 37
    {15, u8"item 36 = ON"},                                                                    // 38
    {8, u8"On first run the com port must be configured to match your radio."},                // 39
    {12, u8"Com port to use(COM1),"},                                                          // 40
    {12, u8"baud rate: 19200,"},                                                               // 41
    {12, u8"data: 8,"},                                                                        // 42
    {12, u8"stop bits: 1,"},                                                                   // 43
    {12, u8"parity: none,"},                                                                   // 44
    {12, u8"flow control: none."},                                                             // 45
    {0, u8""},                                                                                 // 46
    {8, u8"On closing the program, the settings are saved to file and reloaded on start-up."}, // 47
    {0, u8""},                                                                                 // 48
    {7,
     u8"\"Read Radio Memory\", this will start reading the memory information from all 99"},  // 49
    {7, u8"channels and display in display screen. It will take a minute or so to read all"}, // 50
    {7, u8"99 channels. Now(1/1/25) the radio correctly handels blank channels."},            // 51
    {0, u8""},                                                                                // 52
    {7, u8"\"STOP Reading Memory\", at any time to stop the memory read process."},           // 53
    {0, u8""},                                                                                // 54
    {7,
     u8"\"Re-read Selected Chans\", any channel that is ticked will be re-read from radio."}, // 55
    {0, u8""},                                                                                // 56
    {8, u8"\"Read from File Name^\", to re-read the named file into the display. This will"}, // 57
    {8, u8"lose any changes that have been made to the displayed channels."},                 // 58
    {0, u8""},                                                                                // 59
    {8, u8"\"Select and Load File\", to read a file into the display and change the File Name "
        u8"at"},                            // 60
    {8, u8"the top of the control panel."}, // 61
    {0, u8""},                              // 62
    {8, u8"\"Save to file\", this will present A default file name, \"yyyy-mm-dd--hhmm.txt\" "
        u8"or"},                                                                              // 63
    {7, u8"enter a file name of your choice to save to."},                                    // 64
    {0, u8""},                                                                                // 65
    {8, u8"\"All Write\" ticks all channels."},                                               // 66
    {0, u8""},                                                                                // 67
    {8, u8"\"All No Write, Un-ticks all channels."},                                          // 68
    {0, u8""},                                                                                // 69
    {8, u8"\"Write to Radio\", will write just the channels that are checked to the radio."}, // 70
    {0, u8""},                                                                                // 71
    {7, u8"Having read from memory or file, with the channels listed in the display:"},       // 72
    {11, u8"Double click any channel row in the display to bring up the edit panel."},        // 73
    {11, u8"Here it is possible to change the Rx frequency, mode, filter and"},               // 74
    {11, u8"select if split/duplex is needed, as required."},                                 // 75
    {7, u8"\"Refresh\", to update the fields."},                                              // 76
    {7, u8"\"Change\", to save the changes to the display (NOT the radio)."},                 // 77
    {0, u8""},                                                                                // 78
    {11, u8"Note:"},                                                                          // 79
    {15, u8"the program will automatically select the correct offset if required and"},       // 80
    {15, u8"weather split or duplex is needed and enters the Tx frequency."},                 // 81
    {15, u8"When making changes the \"write\" tick box is automatically checked ready for"},  // 82
    {15, u8"writing to the radio."},                                                          // 83
    {10, u8"NEW:"},                                                                           // 84
    {16, u8"If \"Split/Duplex On\" is selected. If you select \"Manual Select\" the"},        // 85
    {16, u8"drop-down box is available. where you can select:"},                              // 86
    {16, u8"7.6, 1.6, 5, -5, 0.5, -0.5, 0.6, -0.6, 1 and -1 as the Tx offset."},              // 87
    {0, u8""},                                                                                // 88
    {7, u8"\"Go to Chan\", Click on a channel row and click on \"Go to Chan\" to have the "
        u8"radio"},                                                                     // 89
    {16, u8"select that channel."},                                                     // 90
    {0, u8""},                                                                          // 91
    {4, u8"Menu Items:"},                                                               // 92
    {7, u8"\"Com Port Select\", Enter com port settings."},                             // 93
    {7, u8"\"CI-V Address\", Select address code for IC706, IC706MKii or IC706MKIIG."}, // 94
    {7, u8"\"Open/Close Edit Panel\", Shows or hides the edit panel."},                 // 95
    {7, u8"\"Clear List\" Clears the displayed channel information WITHOUT saving."},   // 96
    {7, u8"\"Comment Texts\":"},                                                        // 97
    {15, u8"\"Re Read List\" Re-reads the \"Names\" file to memory. If changes have"},  // 98
    {15, u8"been made while to manager is open. To save closing and reopening"},        // 99
    {15, u8"the manager."},                                                             // 100
    {15, u8"\"Show Comments List\", Shows the comments list in side panel."},           // 101
    {15, u8"\"Hide Comments List\", Hides the comments list side panel."},              // 102
    {15, u8"\"Load Comments from List\", Reads the names file and compares"},           // 103
    {15, u8"Rx Frequency with listed frequency, if a match comment is added"},          // 104
    {15, u8"to that channels comment."},                                                // 105
    {15, u8"Note: Comments can NOT be written to the radio. But are useful"},           // 106
    {15, u8"when saving file for later reference."},                                    // 107
    {15, u8"\"Clear Comments Texts\", removes all comments from display."},             // 108
    {7, u8"\"About/Help\", This file!!"},                                               // 109
    {0, u8""},                                                                          // 110
    {8, u8"Have fun and enjoy."},                                                       // 111
    {8, u8"73 from the Memvane authors."},                                              // 112
    {8, u8"Happy channel keeping."},                                                    // 113
    {0, u8""},                                                                          // 114
};

template <size_t N> QString joinLines(const HelpLine (&lines)[N])
{
    QStringList out;
    for (const HelpLine& line : lines)
        out << QString(line.blanks, QLatin1Char(' ')) +
                   QString::fromUtf8(reinterpret_cast<const char*>(line.text));
    return out.join(QLatin1Char('\n'));
}

QPlainTextEdit* makeMemo(QWidget* panel, const char* name, const QString& text)
{
    auto* memo = new QPlainTextEdit(panel);
    memo->setObjectName(name);
    memo->setFont(designFont({"Tahoma"}, 16));
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette pal = memo->palette();
    pal.setColor(QPalette::Base, QColor(0xA6, 0xCA, 0xF0)); // sky blue
    memo->setPalette(pal);
    memo->setPlainText(text);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(memo);
    return memo;
}

} // namespace

QString TForm2::helpText()
{
    return joinLines(kHelpLines);
}
QString TForm2::aboutText()
{
    return joinLines(kAboutLines);
}

TForm2::TForm2(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("Form2");
    setWindowTitle("Form2");
    setFont(designFont({"Tahoma"}, 11));

    auto* menu = menuBar();
    menu->setObjectName("MainMenu1");
    close1 = addMenuItem(menu, "close", "close1", this, &TForm2::close1Click);
    About1 = addMenuItem(menu, "About", "About1", this, &TForm2::About1Click);
    Help1 = addMenuItem(menu, "Help", "Help1", this, &TForm2::Help1Click);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QWidget(central);
    Panel1->setObjectName("Panel1");
    Panel2 = new QWidget(central);
    Panel2->setObjectName("Panel2");
    layout->addWidget(Panel1);
    layout->addWidget(Panel2);
    setCentralWidget(central);

    Memo1 = makeMemo(Panel1, "Memo1", helpText());
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2 = makeMemo(Panel2, "Memo2", aboutText());
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    resize(1306, 647 + menu->sizeHint().height());
    setUpAccessibility(*this);
    FormCreate();
}

void TForm2::FormCreate()
{
    Help1Click();
}

void TForm2::close1Click()
{
    hide();
}

void TForm2::About1Click()
{
    Panel1->setVisible(false);
    Panel2->setVisible(true);
    About1->setEnabled(false);
    Help1->setEnabled(true);
    setOuterLimits(this, QSize(500, 400), QSize(500, 400));
    setOuterSize(this, 500, 400);
}

void TForm2::Help1Click()
{
    Panel1->setVisible(true);
    Panel2->setVisible(false);
    About1->setEnabled(true);
    Help1->setEnabled(false);
    setOuterLimits(this, QSize(730, 450), QSize(730, QWIDGETSIZE_MAX));
    setOuterSize(this, 730, std::max(outerSize(this).height(), 450));
}

void TForm2::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    refreshOuterLimits(this);
    centreOnFirstShow(this, m_centred);
}

} // namespace memvane
