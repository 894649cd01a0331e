#include "app/Unit1.h"

#include "app/Accessibility.h"
#include "app/BuildInfo.h"
#include "app/ChannelListModel.h"
#include "app/ClickLabel.h"
#include "app/CommentListModel.h"
#include "app/ExchangeSettings.h"
#include "app/TextCodec.h"
#include "app/Unit2.h"
#include "app/Unit3.h"
#include "app/WindowUtil.h"
#include "channels/ChannelReader.h"
#include "channels/ChannelTuner.h"
#include "channels/ChannelWriter.h"
#include "civ/ComPortIo.h"
#include "civ/Exchange.h"
#include "core/Errors.h"
#include "core/ExceptionHandler.h"
#include "core/FileStore.h"
#include "files/ChannelFile.h"
#include "files/ChirpCsv.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <filesystem>

namespace memvane {

namespace {

constexpr int kControlPanelWidth = 193;
constexpr int kEditPanelHeight = 327;
constexpr int kEditPanelMinWindowHeight = 765;
constexpr int kNarrowWidth = 890;
constexpr int kWideWidth = 1180;
constexpr int kCommentListWidth = 300;
constexpr const char* kSettingsFile = "ComPort.ini";
constexpr const char* kStoreFailedQuestion =
    "The port settings could not be saved.\r\nClose without saving them?";

QColor buttonFace()
{
    return QColor(0xF0, 0xF0, 0xF0);
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                        int h)
{
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(name);
    b->setGeometry(x, y, w, h);
    b->setAutoDefault(false);
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

// The entry whose text the box shows, if the shown text is one of its entries.
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

std::string qtFileName(const QString& path)
{
    QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// "Text file|*.txt|Word file|*.doc" -> {"Text file (*.txt)", "Word file (*.doc)"}.
QStringList nameFilters(const std::string& filter)
{
    QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                   ")";
    return out;
}

std::optional<std::string> runFileDialog(QWidget* owner, const FileDialogRequest& request,
                                         QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(owner, QString::fromStdString(request.title),
                       QFile::decodeName(request.initialDir.c_str()));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
    // The program asks its own overwrite question after the dialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    QStringList filters = nameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        int index = std::clamp(request.filterIndex, 1, static_cast<int>(filters.size())) - 1;
        dialog.selectNameFilter(filters[index]);
    }
    if (!request.defaultExt.empty())
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
    if (!request.fileName.empty())
        dialog.selectFile(QFile::decodeName(request.fileName.c_str()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return qtFileName(dialog.selectedFiles().constFirst());
}

} // namespace

TForm1* TForm1::s_handlerOwner = nullptr;

// ---------------------------------------------------------------------------------------------
// Construction

TForm1::TForm1(TForm1Options options)
    : ComPort1("ComPort1", options.comBackend), m_options(std::move(options))
{
    setObjectName("Form1");
    if (m_options.exedir.empty())
        m_options.exedir = settingsFolder();
    else if (m_options.exedir.back() != '/')
        m_options.exedir += '/';

    // While this window lives, errors from anywhere below it are shown through it.
    SetApplicationExceptionHandler([this](const std::exception& error) { reportException(error); });
    s_handlerOwner = this;

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
    if (s_handlerOwner == this) {
        SetApplicationExceptionHandler({});
        s_handlerOwner = nullptr;
    }
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

    commportselect1 = bar->addAction("Comm Port Select ");
    commportselect1->setObjectName("commportselect1");

    CIVAddress1 = bar->addMenu("CI-V Address");
    CIVAddress1->setObjectName("CIVAddress1");
    CIVAddress1->menuAction()->setObjectName("CIVAddress1");
    IC7061 = CIVAddress1->addAction("IC-706               - 48H");
    IC7061->setObjectName("IC7061");
    IC706mkii1 = CIVAddress1->addAction("IC-706MKII       - 4EH");
    IC706mkii1->setObjectName("IC706mkii1");
    IC706MKIIG1 = CIVAddress1->addAction("IC-706MKIIG - 58H");
    IC706MKIIG1->setObjectName("IC706MKIIG1");
    for (QAction* a : {IC7061, IC706mkii1, IC706MKIIG1})
        a->setCheckable(true);
    IC706MKIIG1->setChecked(true);
    CIVAddress1->setDefaultAction(IC706MKIIG1);
    CIVAddress1->addSeparator();
    FastExchange1 = CIVAddress1->addAction("Fast exchange");
    FastExchange1->setObjectName("FastExchange1");
    FastExchange1->setCheckable(true);

    OpenCloseEditPanel1 = bar->addAction("Open Edit Panel");
    OpenCloseEditPanel1->setObjectName("OpenCloseEditPanel1");
    ClearList1 = bar->addAction(" Clear List ");
    ClearList1->setObjectName("ClearList1");

    CommentTexts1 = bar->addMenu("Comment Texts");
    CommentTexts1->setObjectName("CommentTexts1");
    CommentTexts1->menuAction()->setObjectName("CommentTexts1");
    ReReadList1 = CommentTexts1->addAction("Re Read List");
    ReReadList1->setObjectName("ReReadList1");
    showNames1 = CommentTexts1->addAction("Show Comments List");
    showNames1->setObjectName("showNames1");
    test31 = CommentTexts1->addAction("Load Comments from List");
    test31->setObjectName("test31");
    ClearCommentTexts1 = CommentTexts1->addAction("Clear Comment Texts");
    ClearCommentTexts1->setObjectName("ClearCommentTexts1");

    Errors1 = bar->addAction("Errors");
    Errors1->setObjectName("Errors1");
    Errors1->setEnabled(false);
    helpabout1 = bar->addAction("help/about");
    helpabout1->setObjectName("helpabout1");

    ChirpCsv1 = bar->addMenu("CHIRP CSV");
    ChirpCsv1->setObjectName("ChirpCsv1");
    ChirpCsv1->menuAction()->setObjectName("ChirpCsv1");
    ExportChirpCsv1 = ChirpCsv1->addAction("Export CHIRP CSV...");
    ExportChirpCsv1->setObjectName("ExportChirpCsv1");
    ImportChirpCsv1 = ChirpCsv1->addAction("Import CHIRP CSV...");
    ImportChirpCsv1->setObjectName("ImportChirpCsv1");

    connect(commportselect1, &QAction::triggered, this, &TForm1::ComPortSelectClick);
    connect(IC7061, &QAction::triggered, this, &TForm1::IC7061Click);
    connect(IC706mkii1, &QAction::triggered, this, &TForm1::IC706mkii1Click);
    connect(IC706MKIIG1, &QAction::triggered, this, &TForm1::IC706MKIIG1Click);
    connect(FastExchange1, &QAction::triggered, this, &TForm1::FastExchange1Click);
    connect(OpenCloseEditPanel1, &QAction::triggered, this, &TForm1::OpenCloseEditPanel1Click);
    connect(ClearList1, &QAction::triggered, this, &TForm1::ClearListClick);
    connect(ReReadList1, &QAction::triggered, this, &TForm1::ReReadList1Click);
    connect(showNames1, &QAction::triggered, this, &TForm1::showNames1Click);
    connect(test31, &QAction::triggered, this, &TForm1::loadcommentsClick);
    connect(ClearCommentTexts1, &QAction::triggered, this, &TForm1::ClearCommentTexts1Click);
    connect(Errors1, &QAction::triggered, this, &TForm1::Errors1Click);
    connect(helpabout1, &QAction::triggered, this, &TForm1::helpabout1Click);
    connect(ExportChirpCsv1, &QAction::triggered, this, &TForm1::ExportChirpCsv1Click);
    connect(ImportChirpCsv1, &QAction::triggered, this, &TForm1::ImportChirpCsv1Click);
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

    Memoryread = makeButton(Panel1, "Memoryread", "Read Radio Memory", 17, 81, 150, 25);
    STOPReading = makeButton(Panel1, "STOPReading", "STOP Reading Memory", 17, 109, 150, 25);
    Button1 = makeButton(Panel1, "Button1", "Re-Read Selected Chans", 18, 137, 149, 25);
    ReadfromFile = makeButton(Panel1, "ReadfromFile", "Read from File Name ^", 17, 165, 150, 25);
    SelectFile = makeButton(Panel1, "SelectFile", "Select and Load File", 17, 194, 150, 25);
    savetofile = makeButton(Panel1, "savetofile", "Save to File", 16, 223, 150, 25);
    AllWrite = makeButton(Panel1, "AllWrite", "All Write", 17, 252, 70, 25);
    AllNoWrite = makeButton(Panel1, "AllNoWrite", "All No Write", 95, 252, 70, 25);
    Writetoradio = makeButton(Panel1, "Writetoradio", "Write to Radio", 17, 281, 150, 25);

    Memo3 = new QPlainTextEdit(Panel1);
    Memo3->setObjectName("Memo3");
    Memo3->setGeometry(15, 312, 151, 24);
    QPalette white = Memo3->palette();
    white.setColor(QPalette::Base, Qt::white);
    Memo3->setPalette(white);
    Memo3->hide();

    gotochan = makeButton(Panel1, "gotochan", "Go To Chan", 93, 342, 73, 25);

    connect(Memo1, &QLineEdit::textChanged, this, &TForm1::Memo1Change);
    connect(Memo2, &QLineEdit::textChanged, this, &TForm1::Memo1Change);
    connect(Memoryread, &QPushButton::clicked, this, &TForm1::MemoryreadClick);
    connect(STOPReading, &QPushButton::clicked, this, &TForm1::STOPReadingClick);
    connect(Button1, &QPushButton::clicked, this, &TForm1::ReadSelected);
    connect(ReadfromFile, &QPushButton::clicked, this, &TForm1::ReadfromFileClick);
    connect(SelectFile, &QPushButton::clicked, this, &TForm1::SelectFileClick);
    connect(savetofile, &QPushButton::clicked, this, &TForm1::savetofileClick);
    connect(AllWrite, &QPushButton::clicked, this, &TForm1::AllWriteClick);
    connect(AllNoWrite, &QPushButton::clicked, this, &TForm1::AllNoWriteClick);
    connect(Writetoradio, &QPushButton::clicked, this, &TForm1::WritetoradioClick);
    connect(gotochan, &QPushButton::clicked, this, &TForm1::gotochanClick);
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

    Button2 = makeButton(Panel3, "Button2", "Refrash", 14, 232, 80, 25);
    change = makeButton(Panel3, "change", "Change Line", 100, 232, 84, 25);
    ccomment = makeEdit(Panel3, "ccomment", "Comment", 14, 268, 170, false);

    connect(Label4, &ClickLabel::clicked, this, &TForm1::AllNoWriteClick);
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::toggled, this, &TForm1::CheckBox2Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(change, &QPushButton::clicked, this, &TForm1::changeClick);
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
    try {
        ComPort1.Loaded();
    } catch (const std::exception& error) {
        // A port that does not open is reported and start-up goes on with it closed.
        HandleApplicationException(error);
    }
}

// ---------------------------------------------------------------------------------------------
// Start-up and close

void TForm1::FormCreate()
{
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(kDeferredInitEvent)));
}

bool TForm1::event(QEvent* event)
{
    if (event->type() == static_cast<QEvent::Type>(kDeferredInitEvent)) {
        deferredInitialisation();
        return true;
    }
    return QMainWindow::event(event);
}

void TForm1::deferredInitialisation()
{
    if (m_initialised)
        return;
    m_initialised = true;
    guard([&] {
        setWindowTitle(
            QString::fromStdString("Memvane Ver: 6_2-" + buildTimeText(m_options.buildEpoch)));
        setOuterSize(this, kNarrowWidth, kEditPanelMinWindowHeight);
        Label1->resize(150, Label1->height());
        m_state.errcount = 0;
        m_state.basename = "Default";
        setWidgetText(Memo1, m_state.basename); // Memo1Change makes it Default.txt
        Memo2->setText(".txt");
        m_state.civaddr = "$58";
        m_state.civhex = "58";
        m_state.civdelay = 45;
        m_state.fillNameTables();
        CheckBox2->setEnabled(false);
        ComboBox1->setEnabled(false);
        m_state.exedir = m_options.exedir;
        m_state.loaddir = m_state.exedir;
        m_state.userdir = m_options.userdir;
        selectEntry(ComboBox1, ComboBox1->findText("7.6"));

        // Only a regular file counts: a folder, FIFO or device under the name is no settings
        // file, and start-up goes on as without one.
        std::string settings = m_state.exedir + kSettingsFile;
        if (fileKindOf(settings) == FileKind::Regular) {
            ComPort1.LoadSettings(stIniFile, settings); // a failure ends start-up here
            FastExchange1->setChecked(loadFastExchange(settings));
            FastExchange1Click();
        }
        getFileClick(m_comments, *this, m_state.userdir);
        try {
            ComPort1.Open();
        } catch (const std::exception&) {
            showMessage(" Error creating the com component");
        }
    });
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    refreshOuterLimits(this);
    if (!m_centred) {
        m_centred = true;
        centreOnScreen(this);
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (m_state.busy) {
        // A read or write is between two channels, inside our own event processing: let it
        // stop at the next one and close when it has returned.
        m_state.closeRequested = true;
        event->ignore();
        return;
    }
    if (!FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    // Closing the main window ends the program, whatever other window is still showing.
    if (m_form2)
        m_form2->hide();
    if (m_form3)
        m_form3->hide();
}

bool TForm1::FormClose()
{
    try {
        ComPort1.StoreSettings(stIniFile, m_options.exedir + kSettingsFile);
        storeFastExchange(m_options.exedir + kSettingsFile, m_state.fastExchange);
    } catch (const std::exception& error) {
        // A folder that cannot be written must not trap the user in a window that never
        // closes: say what failed, then let the user decide.
        reportException(error);
        if (!askOkCancel(kStoreFailedQuestion))
            return false;
    }
    guard([&] { ComPort1.Close(); });
    return true;
}

// ---------------------------------------------------------------------------------------------
// UiEffects

void TForm1::setStatus(const std::string& text)
{
    m_status = text;
    Label1->setText(decodeText(text));
    Label1->repaint();
}

std::string TForm1::status() const
{
    return m_status;
}

void TForm1::processEvents()
{
    QCoreApplication::processEvents();
}

void TForm1::appendErrorLine(const std::string& line)
{
    if (m_form3)
        m_form3->Memo1->appendPlainText(decodeText(line));
}

void TForm1::clearErrorList()
{
    if (m_form3)
        m_form3->Memo1->clear();
}

void TForm1::setErrorsEnabled(bool enabled)
{
    Errors1->setEnabled(enabled);
}

void TForm1::showMessage(const std::string& text)
{
    if (m_options.dialogs) {
        m_options.dialogs->showMessage(text);
        return;
    }
    QMessageBox box(QMessageBox::Information, "Memvane", decodeText(text), QMessageBox::Ok, this);
    box.exec();
}

void TForm1::showReport(const std::string& summary, const std::vector<std::string>& lines)
{
    if (m_options.dialogs) {
        m_options.dialogs->showReport(summary, lines);
        return;
    }
    // The first lines in the box itself, every line in its details, which scroll.
    constexpr size_t kShown = 12;
    std::string text = summary, all;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i < kShown)
            text += "\n" + lines[i];
        all += (i ? "\n" : "") + lines[i];
    }
    QMessageBox box(QMessageBox::Information, "Memvane", QString(), QMessageBox::Ok, this);
    if (lines.size() > kShown) {
        text += "\n... and " + std::to_string(lines.size() - kShown) + " more under Show Details";
        box.setDetailedText(decodeText(all));
    }
    box.setText(decodeText(text));
    box.exec();
}

bool TForm1::askOkCancel(const std::string& text)
{
    if (m_options.dialogs)
        return m_options.dialogs->askOkCancel(text);
    QMessageBox box(QMessageBox::Critical, "Error", decodeText(text),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

std::optional<std::string> TForm1::runSaveDialog(const FileDialogRequest& request)
{
    if (m_options.dialogs)
        return m_options.dialogs->runSaveDialog(request);
    return runFileDialog(this, request, QFileDialog::AcceptSave);
}

std::optional<std::string> TForm1::runOpenDialog(const FileDialogRequest& request)
{
    if (m_options.dialogs)
        return m_options.dialogs->runOpenDialog(request);
    return runFileDialog(this, request, QFileDialog::AcceptOpen);
}

void TForm1::hideEditPanel()
{
    Panel3->hide();
}

void TForm1::reportException(const std::exception& error)
{
    if (dynamic_cast<const EAbort*>(&error))
        return;
    std::string text = error.what();
    // The port's fixed message says what failed; the system's reason (and, for a permission
    // problem, the fix) goes on the next line.
    if (const auto* port = dynamic_cast<const EComPort*>(&error); port && !port->Detail().empty())
        text += "\r\n" + port->Detail();
    showMessage(text);
}

template <class F> void TForm1::guard(F&& body)
{
    try {
        body();
    } catch (const std::exception& error) {
        HandleApplicationException(error);
    }
}

template <class F> void TForm1::unlessBusy(F&& body)
{
    if (m_state.busy)
        return;
    guard(std::forward<F>(body));
}

std::string TForm1::ccomportwrite(const std::string& word, const std::string& look1)
{
    return memvane::ccomportwrite(word, look1, portIo(), m_state, *this).data;
}

PortIo& TForm1::portIo()
{
    if (m_options.portIo)
        return *m_options.portIo;
    if (!m_comPortIo)
        m_comPortIo = std::make_unique<ComPortIo>(ComPort1);
    return *m_comPortIo;
}

RadioContext TForm1::radioContext()
{
    return RadioContext{m_state, *this, portIo(), m_channels};
}

std::optional<size_t> TForm1::selectedRow() const
{
    QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return static_cast<size_t>(rows.constFirst().row());
}

void TForm1::finishRadioOperation()
{
    // A command ignored while busy returns here too: the running operation finishes the close.
    if (m_state.busy || !m_state.closeRequested)
        return;
    m_state.closeRequested = false;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// Radio commands

void TForm1::MemoryreadClick()
{
    unlessBusy([&] {
        RadioContext ctx = radioContext();
        readAllChannels(ctx);
    });
    finishRadioOperation();
}

void TForm1::ReadSelected()
{
    unlessBusy([&] {
        RadioContext ctx = radioContext();
        rereadTickedChannels(ctx);
    });
    finishRadioOperation();
}

void TForm1::STOPReadingClick()
{
    requestStop(m_state);
}

void TForm1::WritetoradioClick()
{
    unlessBusy([&] {
        RadioContext ctx = radioContext();
        writeTickedChannels(ctx);
    });
    finishRadioOperation();
}

void TForm1::gotochanClick()
{
    unlessBusy([&] {
        RadioContext ctx = radioContext();
        goToChannel(ctx, selectedRow());
    });
}

void TForm1::ComPort1RxChar(TCustomComPort* Sender, int Count)
{
    // Count is not used: the monitor reads until the queue is empty.
    (void)Count;
    std::string text = monitorTransceive(Sender ? *Sender : ComPort1, m_state);
    Memo3->setPlainText(decodeText(text).replace("\r\n", "\n"));
}

// ---------------------------------------------------------------------------------------------
// Channel list and files

void TForm1::AllWriteClick()
{
    unlessBusy([&] {
        hideEditPanel();
        m_channels.setAllWrite(true);
    });
}

void TForm1::AllNoWriteClick()
{
    unlessBusy([&] {
        hideEditPanel();
        m_channels.setAllWrite(false);
    });
}

void TForm1::ClearListClick()
{
    unlessBusy([&] {
        hideEditPanel();
        m_channels.clear();
    });
}

void TForm1::savetofileClick()
{
    guard([&] { saveChannelFile(m_channels, m_state, *this); });
}

void TForm1::ReadfromFileClick()
{
    unlessBusy([&] { loadChannelFile(m_channels, m_state, *this); });
}

void TForm1::SelectFileClick()
{
    unlessBusy([&] {
        if (std::optional<FileBoxes> boxes = chooseChannelFile(m_state, *this)) {
            setWidgetText(Memo1, boxes->name);
            setWidgetText(Memo2, boxes->ext);
        }
        loadChannelFile(m_channels, m_state, *this);
    });
}

void TForm1::Memo1Change()
{
    m_state.basename = makeBasename(widgetText(Memo1), widgetText(Memo2));
}

// ---------------------------------------------------------------------------------------------
// Menu

void TForm1::ComPortSelectClick()
{
    unlessBusy([&] {
        hideEditPanel();
        ComPort1.ShowSetupDialog();
    });
}

void TForm1::selectAddress(const char* civaddr, const char* civhex)
{
    unlessBusy([&] {
        m_state.civaddr = civaddr;
        m_state.civhex = civhex;
    });
    // Qt has toggled the clicked item already; the ticks follow the address in use.
    const std::pair<QAction*, const char*> items[] = {
        {IC7061, "48"}, {IC706mkii1, "4E"}, {IC706MKIIG1, "58"}};
    for (const auto& [a, hex] : items)
        a->setChecked(m_state.civhex == hex);
}

void TForm1::IC7061Click()
{
    selectAddress("$48", "48");
}

void TForm1::IC706mkii1Click()
{
    selectAddress("$4E", "4E");
}

void TForm1::IC706MKIIG1Click()
{
    selectAddress("$58", "58");
}

void TForm1::FastExchange1Click()
{
    m_state.fastExchange = FastExchange1->isChecked();
}

void TForm1::makeAtLeast765High()
{
    QSize outer = outerSize(this);
    if (outer.height() < kEditPanelMinWindowHeight)
        setOuterSize(this, outer.width(), kEditPanelMinWindowHeight);
}

void TForm1::OpenCloseEditPanel1Click()
{
    // Decided by the panel, not by the caption: other commands hide the panel and leave the
    // caption reading "Close Edit Panel".
    if (Panel3->isVisible()) {
        Panel3->hide();
        OpenCloseEditPanel1->setText("Open Edit Panel");
        return;
    }
    setStatus("");
    makeAtLeast765High();
    Panel3->show();
    OpenCloseEditPanel1->setText("Close Edit Panel");
}

void TForm1::ReReadList1Click()
{
    guard([&] { getFileClick(m_comments, *this, m_state.userdir); });
}

void TForm1::showNames1Click()
{
    setStatus("");
    QSize outer = outerSize(this);
    if (ListView2->isVisible()) {
        ListView2->hide();
        ListView2->setFixedWidth(0);
        setOuterSize(this, kNarrowWidth, outer.height());
        showNames1->setText("Show Comments List");
    } else {
        ListView2->setFixedWidth(kCommentListWidth);
        ListView2->show();
        setOuterSize(this, kWideWidth, outer.height());
        showNames1->setText("Hide Comments List");
    }
}

void TForm1::loadcommentsClick()
{
    unlessBusy([&] { loadComments(m_channels, m_comments, *this); });
}

void TForm1::ClearCommentTexts1Click()
{
    unlessBusy([&] { clearCommentTexts(m_channels); });
}

void TForm1::Errors1Click()
{
    if (m_form3) {
        m_form3->show();
        m_form3->raise();
    }
}

void TForm1::helpabout1Click()
{
    if (m_form2) {
        m_form2->show();
        m_form2->raise();
    }
}

void TForm1::ExportChirpCsv1Click()
{
    guard([&] { exportChirpCsv(m_channels, *this); });
}

void TForm1::ImportChirpCsv1Click()
{
    unlessBusy([&] { importChirpCsv(m_channels, *this); });
}

// ---------------------------------------------------------------------------------------------
// Edit panel

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Panel1 && event->type() == QEvent::Resize) {
        Panel3->setGeometry(0, Panel1->height() - kEditPanelHeight, Panel1->width(),
                            kEditPanelHeight);
    } else if (event->type() == QEvent::MouseButtonDblClick &&
               (watched == ListView1->viewport() || watched == ListView2->viewport())) {
        // Let the view select the row under the pointer first, then open it.
        bool handled = QMainWindow::eventFilter(watched, event);
        QMetaObject::invokeMethod(this, &TForm1::ListView1DblClick, Qt::QueuedConnection);
        return handled;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::ListView1DblClick()
{
    makeAtLeast765High();
    Panel3->show();
    OpenCloseEditPanel1->setText("Close Edit Panel");
    guard([&] {
        std::optional<EditPanelRowView> view = readEditPanelRow(m_channels, selectedRow());
        if (!view)
            return;
        setWidgetText(Edit2, view->memLoc);
        setWidgetText(Edit3, view->tx);
        setWidgetText(Edit4, view->rx);
        setWidgetText(Edit5, view->mode);
        setWidgetText(Edit6, view->filter);
        Edit7->clear();
        setWidgetText(Edit8, view->rx);
        selectEntry(ComboBox1, 0);
        selectEntry(ComboBox2, view->modeIndex);
        selectEntry(ComboBox3, view->filterIndex);
        CheckBox1->setChecked(view->splitOn);
        setWidgetText(ccomment, view->comment);
    });
}

void TForm1::CheckBox1Click()
{
    CheckBox2->setEnabled(CheckBox1->isChecked());
}

void TForm1::CheckBox2Click()
{
    ComboBox1->setEnabled(CheckBox2->isChecked());
}

EditPanelInput TForm1::editPanelInput() const
{
    EditPanelInput input;
    input.rxText = widgetText(Edit8);
    input.txBaseText = widgetText(Edit7);
    input.splitOn = CheckBox1->isChecked();
    input.manualSelect = CheckBox2->isChecked();
    input.offsetEntry = selectedEntry(ComboBox1);
    input.modeEntry = selectedEntry(ComboBox2).value_or(std::string());
    input.filterEntry = selectedEntry(ComboBox3).value_or(std::string());
    return input;
}

void TForm1::setEditPanelTexts(const EditPanelTexts& texts)
{
    setWidgetText(Edit4, texts.rx);
    setWidgetText(Edit7, texts.txBase);
    setWidgetText(Edit3, texts.tx);
    setWidgetText(Edit5, texts.mode);
    setWidgetText(Edit6, texts.filter);
}

void TForm1::Button2Click()
{
    guard([&] { setEditPanelTexts(refrashEditPanel(editPanelInput(), m_state)); });
}

void TForm1::changeClick()
{
    unlessBusy([&] {
        setEditPanelTexts(changeEditPanelLine(m_channels, selectedRow(), widgetText(Edit2),
                                              editPanelInput(), m_state));
    });
}

// ---------------------------------------------------------------------------------------------
// Program entry

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
