// The main window's construction: its controls and menu as designed, the two lists with their
// models, the serial component's design values; and the program's three windows together.
#include "app/Unit1.h"

#include "app/Accessibility.h"
#include "app/ChannelListModel.h"
#include "app/ClickLabel.h"
#include "app/CommentListModel.h"
#include "app/ProgramIcon.h"
#include "app/QtDialogs.h"
#include "app/Unit2.h"
#include "app/Unit3.h"
#include "app/WindowUtil.h"
#include "civ/ComPortIo.h"
#include "civ/ExchangeSettings.h"
#include "core/ExceptionHandler.h"
#include "core/ProgramFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

namespace memvane {

namespace {

QColor buttonFace()
{
    return QColor(0xF0, 0xF0, 0xF0);
}

// A push button as designed, run by the window's `onClick`.
QPushButton* makeButton(TForm1* form, QWidget* parent, const char* name, const char* caption,
                        QRect geometry, void (TForm1::*onClick)())
{
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, form, onClick);
    return b;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, const char* text, int x, int y, int w,
                    bool readOnly)
{
    auto* e = new QLineEdit(QString::fromLatin1(text), parent);
    e->setObjectName(name);
    e->setGeometry(x, y, w, 21);
    e->setReadOnly(readOnly);
    return e;
}

QComboBox* makeCombo(QWidget* parent, const char* name, const std::string* first,
                     const std::string* last, int x, int y, int w)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string* it = first; it != last; ++it)
        c->addItem(QString::fromStdString(*it));
    c->setGeometry(x, y, w, 21);
    return c;
}

// Column widths stay within their limits when the user drags a header divider.
template <class LimitFn> void keepColumnLimits(QTableView* view, LimitFn limits)
{
    QHeaderView* header = view->horizontalHeader();
    QObject::connect(header, &QHeaderView::sectionResized, view,
                     [header, limits](int section, int, int newSize) {
                         auto [lo, hi] = limits(section);
                         if (hi <= 0)
                             return; // hidden columns
                         int clamped = std::clamp(newSize, lo, hi);
                         if (clamped != newSize)
                             header->resizeSection(section, clamped);
                     });
}

void setupReportView(QTableView* view)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(true);
    view->setWordWrap(false);
    view->setSortingEnabled(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setStretchLastSection(false);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setMinimumSectionSize(0);
    // The selection stays as visible when the list loses the focus (to the edit panel).
    QPalette pal = view->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    view->setPalette(pal);
}

QMenu* addSubmenu(QMenuBar* bar, const char* caption, const char* name)
{
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

} // namespace

TForm1::TForm1(TForm1Options options)
    : ComPort1("ComPort1", options.comBackend), m_options(std::move(options))
{
    setObjectName("Form1");
    if (m_options.exedir.empty())
        m_options.exedir = settingsFolder();
    else if (m_options.exedir.back() != '/')
        m_options.exedir += '/';

    if (m_options.dialogs) {
        m_dialogs = m_options.dialogs;
    } else {
        m_qtDialogs = std::make_unique<QtDialogs>(this);
        m_dialogs = m_qtDialogs.get();
    }
    // While this window lives, errors from anywhere below it are shown through it.
    m_errorHandler = std::make_unique<ScopedExceptionHandler>(
        [this](const std::exception& error) { reportException(error); });

    setFont(designFont({"Tahoma"}, 11));
    setWindowIcon(programIcon());
    buildMenu();

    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);

    Panel1 = new QFrame(central);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFixedWidth(kControlPanelWidth);
    Panel1->installEventFilter(this); // keeps Panel3 at its bottom edge
    layout->addWidget(Panel1);

    Panel2 = new QFrame(central);
    Panel2->setObjectName("Panel2");
    layout->addWidget(Panel2, 1);

    buildControlPanel();
    buildEditPanel();
    buildLists();
    setUpAccessibility(*this);

    setOuterLimits(this, QSize(kNarrowWidth, 425), QSize(1200, QWIDGETSIZE_MAX));
    resize(1076, 717 + menuBar()->sizeHint().height());

    loadComPortDesign();
    FormCreate();
}

TForm1::~TForm1()
{
    // Errors of the teardown go to whoever handled them before this window.
    m_errorHandler.reset();
    ComPort1.OnRxChar = nullptr;
    try {
        ComPort1.Close();
    } catch (const std::exception&) {
        // Nothing to report to once the window is gone.
    }
    // The models listen to the channel and comment lists, which are members and die before
    // the widget tree (and with it the models) would be deleted.
    ListView1->setModel(nullptr);
    ListView2->setModel(nullptr);
    delete m_channelModel;
    delete m_commentModel;
}

void TForm1::setWindows(TForm2* form2, TForm3* form3)
{
    m_form2 = form2;
    m_form3 = form3;
}

void TForm1::buildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    const auto item = [this](QWidget* menu, const char* caption, const char* name,
                             void (TForm1::*handler)()) {
        return addMenuItem(menu, caption, name, this, handler);
    };

    commportselect1 =
        item(bar, "Comm Port Select ", "commportselect1", &TForm1::ComPortSelectClick);

    CIVAddress1 = addSubmenu(bar, "CI-V Address", "CIVAddress1");
    IC7061 = item(CIVAddress1, "IC-706               - 48H", "IC7061", &TForm1::IC7061Click);
    IC706mkii1 =
        item(CIVAddress1, "IC-706MKII       - 4EH", "IC706mkii1", &TForm1::IC706mkii1Click);
    IC706MKIIG1 = item(CIVAddress1, "IC-706MKIIG - 58H", "IC706MKIIG1", &TForm1::IC706MKIIG1Click);
    for (QAction* a : {IC7061, IC706mkii1, IC706MKIIG1})
        a->setCheckable(true);
    IC706MKIIG1->setChecked(true);
    CIVAddress1->setDefaultAction(IC706MKIIG1);
    CIVAddress1->addSeparator();
    FastExchange1 =
        item(CIVAddress1, "Fast exchange", "FastExchange1", &TForm1::FastExchange1Click);
    FastExchange1->setCheckable(true);

    OpenCloseEditPanel1 =
        item(bar, "Open Edit Panel", "OpenCloseEditPanel1", &TForm1::OpenCloseEditPanel1Click);
    ClearList1 = item(bar, " Clear List ", "ClearList1", &TForm1::ClearListClick);

    CommentTexts1 = addSubmenu(bar, "Comment Texts", "CommentTexts1");
    ReReadList1 = item(CommentTexts1, "Re Read List", "ReReadList1", &TForm1::ReReadList1Click);
    showNames1 = item(CommentTexts1, "Show Comments List", "showNames1", &TForm1::showNames1Click);
    test31 = item(CommentTexts1, "Load Comments from List", "test31", &TForm1::loadcommentsClick);
    ClearCommentTexts1 = item(CommentTexts1, "Clear Comment Texts", "ClearCommentTexts1",
                              &TForm1::ClearCommentTexts1Click);

    Errors1 = item(bar, "Errors", "Errors1", &TForm1::Errors1Click);
    Errors1->setEnabled(false);
    helpabout1 = item(bar, "help/about", "helpabout1", &TForm1::helpabout1Click);

    ChirpCsv1 = addSubmenu(bar, "CHIRP CSV", "ChirpCsv1");
    ExportChirpCsv1 =
        item(ChirpCsv1, "Export CHIRP CSV...", "ExportChirpCsv1", &TForm1::ExportChirpCsv1Click);
    ImportChirpCsv1 =
        item(ChirpCsv1, "Import CHIRP CSV...", "ImportChirpCsv1", &TForm1::ImportChirpCsv1Click);
}

void TForm1::buildControlPanel()
{
    Label1 = new QLabel(QString(".") + QString(45, QLatin1Char(' ')) + ".", Panel1);
    Label1->setObjectName("Label1");
    Label1->setGeometry(16, 17, 141, 13);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    QPalette red = Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label1->setPalette(red);

    Label2 = new QLabel("File Name", Panel1);
    Label2->setObjectName("Label2");
    Label2->move(68, 40);
    Label2->adjustSize();

    QPalette face = palette();
    face.setColor(QPalette::Base, buttonFace());
    Memo1 = new QLineEdit(Panel1);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(17, 55, 119, 20);
    Memo1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Memo1->setPalette(face);
    Memo2 = new QLineEdit(".txt", Panel1);
    Memo2->setObjectName("Memo2");
    Memo2->setGeometry(136, 55, 30, 20);
    Memo2->setReadOnly(true);
    Memo2->setPalette(face);

    Memoryread = makeButton(this, Panel1, "Memoryread", "Read Radio Memory", {17, 81, 150, 25},
                            &TForm1::MemoryreadClick);
    STOPReading = makeButton(this, Panel1, "STOPReading", "STOP Reading Memory", {17, 109, 150, 25},
                             &TForm1::STOPReadingClick);
    Button1 = makeButton(this, Panel1, "Button1", "Re-Read Selected Chans", {18, 137, 149, 25},
                         &TForm1::ReadSelected);
    ReadfromFile = makeButton(this, Panel1, "ReadfromFile", "Read from File Name ^",
                              {17, 165, 150, 25}, &TForm1::ReadfromFileClick);
    SelectFile = makeButton(this, Panel1, "SelectFile", "Select and Load File", {17, 194, 150, 25},
                            &TForm1::SelectFileClick);
    savetofile = makeButton(this, Panel1, "savetofile", "Save to File", {16, 223, 150, 25},
                            &TForm1::savetofileClick);
    AllWrite = makeButton(this, Panel1, "AllWrite", "All Write", {17, 252, 70, 25},
                          &TForm1::AllWriteClick);
    AllNoWrite = makeButton(this, Panel1, "AllNoWrite", "All No Write", {95, 252, 70, 25},
                            &TForm1::AllNoWriteClick);
    Writetoradio = makeButton(this, Panel1, "Writetoradio", "Write to Radio", {17, 281, 150, 25},
                              &TForm1::WritetoradioClick);

    Memo3 = new QPlainTextEdit(Panel1);
    Memo3->setObjectName("Memo3");
    Memo3->setGeometry(15, 312, 151, 24);
    QPalette white = Memo3->palette();
    white.setColor(QPalette::Base, Qt::white);
    Memo3->setPalette(white);
    Memo3->hide();

    gotochan = makeButton(this, Panel1, "gotochan", "Go To Chan", {93, 342, 73, 25},
                          &TForm1::gotochanClick);

    connect(Memo1, &QLineEdit::textChanged, this, &TForm1::Memo1Change);
    connect(Memo2, &QLineEdit::textChanged, this, &TForm1::Memo1Change);
}

void TForm1::buildEditPanel()
{
    Panel3 = new QFrame(Panel1);
    Panel3->setObjectName("Panel3");
    Panel3->setFrameShape(QFrame::StyledPanel);
    Panel3->setGeometry(0, 0, kControlPanelWidth, kEditPanelHeight);
    Panel3->hide();

    // Left column: the row's values as they are; right column: what to change them to.
    constexpr int left = 22, leftW = 80, right = 106, rightW = 80;
    Label3 = new QLabel("Actual                  Edit & change", Panel3);
    Label3->setObjectName("Label3");
    Label3->setGeometry(8, 6, 180, 14);
    Label6 = new QLabel("VFO B = RX", Panel3);
    Label6->setObjectName("Label6");
    Label6->setGeometry(left, 22, 120, 14);

    Edit2 = makeEdit(Panel3, "Edit2", "Mem ", left, 40, leftW, true);

    Label4 = new ClickLabel("A", Panel3);
    Label4->setObjectName("Label4");
    Label4->setGeometry(8, 66, 12, 21);
    Edit3 = makeEdit(Panel3, "Edit3", "Tx", left, 66, leftW, true);
    Edit7 = makeEdit(Panel3, "Edit7", "Tx", right, 66, rightW, false);
    Edit7->hide();

    Label5 = new QLabel("B", Panel3);
    Label5->setObjectName("Label5");
    Label5->setGeometry(8, 93, 12, 21);
    Edit4 = makeEdit(Panel3, "Edit4", "Rx", left, 93, leftW, true);
    Edit8 = makeEdit(Panel3, "Edit8", "Rx", right, 93, rightW, false);

    Edit5 = makeEdit(Panel3, "Edit5", "Mode", left, 120, leftW, true);
    ComboBox2 = makeCombo(Panel3, "ComboBox2", kEditModeEntries.data(),
                          kEditModeEntries.data() + kEditModeEntries.size(), right, 120, rightW);
    selectEntry(ComboBox2, 0); // "LSB"
    Edit6 = makeEdit(Panel3, "Edit6", "Width", left, 147, leftW, true);
    ComboBox3 =
        makeCombo(Panel3, "ComboBox3", kEditFilterEntries.data(),
                  kEditFilterEntries.data() + kEditFilterEntries.size(), right, 147, rightW);
    selectEntry(ComboBox3, 2); // "Wide"

    CheckBox1 = new QCheckBox("Split/Duplex On  ", Panel3);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setGeometry(left, 176, 150, 18);
    CheckBox2 = new QCheckBox("Manual Select", Panel3);
    CheckBox2->setObjectName("CheckBox2");
    CheckBox2->setGeometry(left, 201, 104, 18);
    ComboBox1 = makeCombo(Panel3, "ComboBox1", kEditOffsetEntries.data(),
                          kEditOffsetEntries.data() + kEditOffsetEntries.size(), 128, 199, 58);
    selectEntry(ComboBox1, 0); // "7.6"

    Button2 =
        makeButton(this, Panel3, "Button2", "Refrash", {14, 232, 80, 25}, &TForm1::Button2Click);
    change =
        makeButton(this, Panel3, "change", "Change Line", {100, 232, 84, 25}, &TForm1::changeClick);
    ccomment = makeEdit(Panel3, "ccomment", "Comment", 14, 268, 170, false);

    connect(Label4, &ClickLabel::clicked, this, &TForm1::AllNoWriteClick);
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::toggled, this, &TForm1::CheckBox2Click);
}

void TForm1::buildLists()
{
    auto* layout = new QHBoxLayout(Panel2);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel5 = new QFrame(Panel2);
    Panel5->setObjectName("Panel5");
    auto* inner = new QHBoxLayout(Panel5);
    inner->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel5, 1);

    ListView1 = new QTableView(Panel5);
    ListView1->setObjectName("ListView1");
    setupReportView(ListView1);
    m_channelModel = new ChannelListModel(m_channels, this);
    ListView1->setModel(m_channelModel);
    for (int c = 0; c < ChannelListModel::kColumnCount; ++c) {
        const ChannelColumnLayout& column = ChannelListModel::column(c);
        if (column.width == 0)
            ListView1->setColumnHidden(c, true); // "offset" and "item" have no width
        else
            ListView1->setColumnWidth(c, column.width);
    }
    keepColumnLimits(ListView1, [](int c) {
        const ChannelColumnLayout& column = ChannelListModel::column(c);
        return std::pair<int, int>(column.minWidth, column.maxWidth);
    });
    inner->addWidget(ListView1);

    ListView2 = new QTableView(Panel2);
    ListView2->setObjectName("ListView2");
    setupReportView(ListView2);
    ListView2->horizontalHeader()->setSectionsClickable(false);
    m_commentModel = new CommentListModel(m_comments, this);
    ListView2->setModel(m_commentModel);
    ListView2->setColumnWidth(0, 10);
    ListView2->setColumnWidth(1, 100);
    ListView2->setColumnWidth(2, 200);
    keepColumnLimits(ListView2, [](int c) {
        static const std::pair<int, int> limits[] = {{10, 80}, {20, 100}, {50, 500}};
        return limits[c];
    });
    ListView2->setFixedWidth(0);
    ListView2->hide();
    layout->addWidget(ListView2);

    ListView1->viewport()->installEventFilter(this);
    ListView2->viewport()->installEventFilter(this);
}

void TForm1::loadComPortDesign()
{
    // The design values, applied as the form data would: nothing takes effect until Loaded(),
    // which opens the port because Connected is stored as true.
    ComPort1.BeginLoading();
    ComPort1.SetConnected(true);
    applyDesignValues(ComPort1);
    ComPort1.OnRxChar = [this](TCustomComPort* sender, int count) {
        ComPort1RxChar(sender, count);
    };
    // The component hands a failed open to the application's error handler and goes on closed.
    // Here that failure is held back: "ComPort.ini", loaded a moment later, usually names
    // another port, and COM1 is rarely the user's.
    ScopedExceptionHandler holdBack([this](const std::exception&) { m_designOpenFailed = true; });
    ComPort1.Loaded();
}

MainWindows::MainWindows() = default;
MainWindows::MainWindows(MainWindows&&) noexcept = default;
MainWindows::~MainWindows()
{
    // Form1 closes the port as it goes, which may still deliver received data; it must not
    // write into an error list that is already gone.
    if (form1)
        form1->setWindows(nullptr, nullptr);
    form3.reset();
    form2.reset();
    form1.reset();
}

MainWindows createMainWindows(TForm1Options options)
{
    MainWindows windows;
    windows.form1 = std::make_unique<TForm1>(std::move(options));
    windows.form2 = std::make_unique<TForm2>();
    windows.form3 = std::make_unique<TForm3>();
    windows.form1->setWindows(windows.form2.get(), windows.form3.get());
    return windows;
}

} // namespace memvane
