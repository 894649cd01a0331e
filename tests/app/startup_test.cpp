// Start-up and close of the main window: the form-data open of COM1, the deferred
// initialisation behind event 1325, "ComPort.ini" next to the executable, and closing (storing
// the settings, a folder that cannot be written, a close during a running read).

#include "tests/app/Form1Fixture.h"

#include "app/BuildInfo.h"
#include "app/WindowUtil.h"
#include "tests/support/FakeComBackend.h"

#include <QMenuBar>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace memvane::test {
namespace {

std::vector<std::string> iniLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line.push_back(c);
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

using StartupTest = Form1Test;

TEST_F(StartupTest, DeferredInitialisationRunsFromTheEventLoopNotTheConstructor)
{
    build(options());
    EXPECT_FALSE(form->initialised());
    EXPECT_TRUE(form->state().basename.empty());
    EXPECT_TRUE(form->windowTitle().isEmpty() || !form->windowTitle().startsWith("Memvane"));
    // The form data opened COM1 while the window was built.
    EXPECT_TRUE(form->comPort().Connected());
    EXPECT_EQ(form->Label1->text(), "." + QString(45, ' ') + ".");
    EXPECT_EQ(form->Label1->width(), 141);

    form->show();
    ASSERT_TRUE(processUntil([this] { return form->initialised(); }));
    EXPECT_EQ(form->windowTitle(), QString("Memvane Ver: 6_2-25.01.08.2359"));
    EXPECT_EQ(outerSize(form), QSize(890, 765));
    EXPECT_EQ(form->Label1->width(), 150);
    EXPECT_EQ(form->Label1->text(), ""); // emptied by the comment list's load

    const ProgramState& st = form->state();
    EXPECT_EQ(st.errcount, 0);
    EXPECT_EQ(st.basename, "Default.txt");
    EXPECT_EQ(form->Memo1->text(), "Default");
    EXPECT_EQ(form->Memo2->text(), ".txt");
    EXPECT_EQ(st.civaddr, "$58");
    EXPECT_EQ(st.civhex, "58");
    EXPECT_EQ(st.civdelay, 45);
    EXPECT_EQ(st.modenames[6], "Wide FM");
    EXPECT_EQ(st.filternames[1], "Normal");
    EXPECT_EQ(st.splitnames[12], "Duplex +");
    EXPECT_FALSE(form->CheckBox2->isEnabled());
    EXPECT_FALSE(form->ComboBox1->isEnabled());
    EXPECT_EQ(form->ComboBox1->currentText(), "7.6");
    EXPECT_EQ(st.exedir, exe.path().string() + "/");
    EXPECT_EQ(st.loaddir, st.exedir);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(StartupTest, WithoutSettingsFileThePortKeepsItsDesignValuesAndCloseCreatesTheFile)
{
    start();
    TComPort& port = form->comPort();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.BaudRate(), br19200);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    EXPECT_EQ(port.Events(), TComEvents::All());
    // The final open found the port open and did not open it again.
    EXPECT_EQ(backend->opened, std::vector<std::string>{"COM1"});
    EXPECT_TRUE(com1.slaveLocked());
    EXPECT_TRUE(dialogs.messages.empty());

    auto ini = exe.path() / "ComPort.ini";
    ASSERT_FALSE(std::filesystem::exists(ini));
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(com1.slaveLocked());
    std::vector<std::string> expected = {"[ComPort1]",      "Port=COM1",  "BaudRate=19200",
                                         "StopBits=1",      "DataBits=8", "Parity=None",
                                         "FlowControl=None"};
    EXPECT_EQ(iniLines(readFile(ini)), expected);
    EXPECT_FALSE(std::filesystem::exists(cwd.path() / "ComPort.ini"));
}

TEST_F(StartupTest, FastExchangeIsKeptInASectionOfItsOwnAcrossRestarts)
{
    const std::vector<std::string> component = {"[ComPort1]",      "Port=COM1",  "BaudRate=19200",
                                                "StopBits=1",      "DataBits=8", "Parity=None",
                                                "FlowControl=None"};
    auto ini = exe.path() / "ComPort.ini";
    auto restart = [&] {
        ASSERT_TRUE(form->close());
        windows.reset();
        start();
    };
    start();
    EXPECT_FALSE(action("FastExchange1")->isChecked());
    action("FastExchange1")->trigger();
    EXPECT_TRUE(form->state().fastExchange);
    restart();
    auto lines = component;
    lines.insert(lines.end(), {"[Memvane]", "FastExchange=1"});
    EXPECT_EQ(iniLines(readFile(ini)), lines);
    EXPECT_TRUE(action("FastExchange1")->isChecked());
    EXPECT_TRUE(form->state().fastExchange);

    action("FastExchange1")->trigger();
    EXPECT_FALSE(form->state().fastExchange);
    restart();
    lines.back() = "FastExchange=0";
    EXPECT_EQ(iniLines(readFile(ini)), lines);
    EXPECT_FALSE(action("FastExchange1")->isChecked());
    EXPECT_FALSE(form->state().fastExchange);
}

// How long each exchange waits for the radio: 45 ms unless the user's "ComPort.ini" says
// otherwise (a slow line); a value that is no whole number of milliseconds from 1 to 10000 is
// passed over. The program never writes the key.
TEST_F(StartupTest, ExchangeWaitComesFromTheSettingsFile)
{
    const auto ini = exe.path() / "ComPort.ini";
    const std::pair<const char*, int> cases[] = {{"", 45},
                                                 {"ExchangeWait=300\r\n", 300},
                                                 {"ExchangeWait=1\r\n", 1},
                                                 {"exchangewait=10000\r\n", 10000},
                                                 {"ExchangeWait=0\r\n", 45},
                                                 {"ExchangeWait=10001\r\n", 45},
                                                 {"ExchangeWait=-5\r\n", 45},
                                                 {"ExchangeWait=2.5\r\n", 45},
                                                 {"ExchangeWait=\r\n", 45},
                                                 {"ExchangeWait=0x10\r\n", 45}};
    for (const auto& [lines, wait] : cases) {
        const std::string text = "[ComPort1]\r\nPort=COM1\r\n[Memvane]\r\n" + std::string(lines);
        writeFile(ini, text);
        start();
        EXPECT_EQ(form->state().civdelay, wait) << lines;
        EXPECT_TRUE(dialogs.messages.empty());
        ASSERT_TRUE(form->close());
        windows.reset();
        EXPECT_NE(readFile(ini).find("[Memvane]\r\n" + std::string(lines)), std::string::npos)
            << readFile(ini);
    }
}

TEST_F(StartupTest, SettingsFileNamingAnotherPortOpensThatPortWithoutMessage)
{
    Pty other;
    writeFile(exe.path() / "ComPort.ini", "[ComPort1]\r\nPort=" + other.slavePath() +
                                              "\r\nBaudRate=9600\r\nStopBits=1\r\nDataBits=8\r\n"
                                              "Parity=None\r\nFlowControl=None\r\n");
    writeFile(cwd.path() / "names.txt", "0145.500000,Calling channel\r\n");
    start();
    TComPort& port = form->comPort();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Port(), other.slavePath());
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_TRUE(other.slaveLocked());
    EXPECT_FALSE(com1.slaveLocked()); // COM1 was closed for it
    EXPECT_EQ(backend->opened, (std::vector<std::string>{"COM1", other.slavePath()}));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form->comments().entries().size(), 1u);
}

TEST_F(StartupTest, SettingsFileNamingAMissingPortShowsOnlyTheLoadError)
{
    writeFile(exe.path() / "ComPort.ini", "[ComPort1]\r\nPort=/nonexistent/memvane-tty\r\n");
    writeFile(cwd.path() / "names.txt", "0145.500000,Calling channel\r\n");
    start();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(startsWith(dialogs.messages[0], "COM Port Error: Failed to load settings"))
        << dialogs.messages[0];
    EXPECT_FALSE(form->comPort().Connected());
    EXPECT_EQ(form->comPort().Port(), "/nonexistent/memvane-tty");
    // Start-up stopped at the settings: no comment list, no final open.
    EXPECT_TRUE(form->comments().entries().empty());
    EXPECT_EQ(form->ListView2->model()->rowCount(), 0);
}

// COM1 of the design values is rarely the user's port (a node without a chip, or one only the
// group dialout may open): its failure is held back until "ComPort.ini" has chosen the port.
TEST_F(StartupTest, MissingCom1WithoutSettingsFileShowsOneMessageAboutCom1AfterTheWindow)
{
    backend->names["COM1"] = "/nonexistent/memvane-com1";
    writeFile(cwd.path() / "names.txt", "0145.500000,Calling channel\r\n");
    build(options());
    EXPECT_TRUE(dialogs.messages.empty()) << "shown before the settings chose the port";
    EXPECT_FALSE(form->comPort().Connected());
    form->show();
    ASSERT_TRUE(processUntil([this] { return form->initialised(); }));
    ASSERT_EQ(dialogs.messages.size(), 1u) << dialogs.messages.back();
    EXPECT_TRUE(startsWith(dialogs.messages[0], "COM Port Error: Unable to open com port on COM1"))
        << dialogs.messages[0];
    // The system's reason follows on the next line.
    EXPECT_NE(dialogs.messages[0].find("\r\ncannot open /nonexistent/memvane-com1"),
              std::string::npos)
        << dialogs.messages[0];
    EXPECT_FALSE(form->comPort().Connected());
    EXPECT_EQ(form->comments().entries().size(), 1u);
    EXPECT_EQ(backend->opened, (std::vector<std::string>{"COM1", "COM1"}));
}

TEST_F(StartupTest, FailedCom1IsDroppedWhenThePortOfTheSettingsFileOpens)
{
    backend->names["COM1"] = "/nonexistent/memvane-com1";
    Pty other;
    writeFile(exe.path() / "ComPort.ini", "[ComPort1]\r\nPort=" + other.slavePath() + "\r\n");
    start();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    EXPECT_TRUE(form->comPort().Connected());
    EXPECT_TRUE(other.slaveLocked());
    EXPECT_EQ(backend->opened, (std::vector<std::string>{"COM1", other.slavePath()}));
    // Nothing left to say at close either, and the chosen port is what is stored.
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    EXPECT_NE(readFile(exe.path() / "ComPort.ini").find("Port=" + other.slavePath()),
              std::string::npos);
}

TEST_F(StartupTest, FailedCom1AndASettingsFileNamingItShowOneMessageAboutCom1)
{
    backend->names["COM1"] = "/nonexistent/memvane-com1";
    writeFile(exe.path() / "ComPort.ini", "[ComPort1]\r\nPort=COM1\r\nBaudRate=9600\r\n");
    start();
    ASSERT_EQ(dialogs.messages.size(), 1u) << dialogs.messages.back();
    EXPECT_TRUE(startsWith(dialogs.messages[0], "COM Port Error: Unable to open com port on COM1"))
        << dialogs.messages[0];
    EXPECT_EQ(form->comPort().BaudRate(), br9600);
}

TEST_F(StartupTest, NeitherPortExistsOneMessageAboutThePortOfTheSettingsFile)
{
    backend->names["COM1"] = "/nonexistent/memvane-com1";
    writeFile(exe.path() / "ComPort.ini", "[ComPort1]\r\nPort=/nonexistent/memvane-tty\r\n");
    writeFile(cwd.path() / "names.txt", "0145.500000,Calling channel\r\n");
    start();
    ASSERT_EQ(dialogs.messages.size(), 1u) << dialogs.messages.back();
    EXPECT_TRUE(startsWith(dialogs.messages[0],
                           "COM Port Error: Unable to open com port on /nonexistent/memvane-tty"))
        << dialogs.messages[0];
    EXPECT_EQ(form->comments().entries().size(), 1u);
    // The next exchange tries the chosen port again and says so itself.
    EXPECT_EQ(form->comPort().Port(), "/nonexistent/memvane-tty");
}

// An interface powered from the port's DTR or RTS line: the two flow-control keys in
// "ComPort.ini" raise those lines when the port opens (the design values drop them); closing
// stores the basic settings and leaves the user's keys as they were.
TEST_F(StartupTest, FlowControlKeysOfTheSettingsFileRaiseDtrAndRts)
{
    auto fake = std::make_shared<FakeComBackend>();
    auto o = options();
    o.comBackend = fake;
    const auto ini = exe.path() / "ComPort.ini";
    auto lines = [&]() {
        const TComDCB dcb = fake->dcbs().back();
        return std::make_pair(dcb.Flags & DCB_fDtrControlMask, dcb.Flags & DCB_fRtsControlMask);
    };

    writeFile(ini, "[ComPort1]\r\nPort=COM7\r\n");
    start(o);
    ASSERT_TRUE(form->comPort().Connected());
    EXPECT_EQ(lines(), std::make_pair(0x00u, 0x0000u)) << "the design values drop both lines";
    ASSERT_TRUE(form->close());
    windows.reset();

    writeFile(ini, "[ComPort1]\r\nPort=COM7\r\nFlowControl.ControlDTR=Enable\r\n"
                   "FlowControl.ControlRTS=Enable\r\n");
    fake->clearCalls();
    start(o);
    ASSERT_TRUE(form->comPort().Connected());
    EXPECT_EQ(form->comPort().Port(), "COM7");
    EXPECT_EQ(form->comPort().FlowControl().ControlDTR(), dtrEnable);
    EXPECT_EQ(form->comPort().FlowControl().ControlRTS(), rtsEnable);
    EXPECT_EQ(lines(), std::make_pair(0x10u, 0x1000u)) << "both lines raised on COM7";
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_TRUE(form->close());
    const std::string stored = readFile(ini);
    EXPECT_NE(stored.find("FlowControl.ControlDTR=Enable\r\nFlowControl.ControlRTS=Enable"),
              std::string::npos)
        << stored;
    EXPECT_NE(stored.find("FlowControl=Custom"), std::string::npos) << stored;
    windows.reset();

    // And the next start raises them again.
    fake->clearCalls();
    start(o);
    EXPECT_EQ(lines(), std::make_pair(0x10u, 0x1000u));
}

// What stands under "ComPort.ini" and "names.txt" instead of a file.
enum class NotAFile { Fifo, LinkToZero, Folder, File };

void makeAt(const std::filesystem::path& path, NotAFile kind)
{
    namespace fs = std::filesystem;
    if (kind == NotAFile::Fifo) {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    if (kind == NotAFile::Folder)
        fs::create_directory(path);
    if (kind == NotAFile::File)
        std::ofstream(path) << "0145.500000,Calling channel\r\n";
    if (kind != NotAFile::LinkToZero)
        return;
    // Root links to a node of its own, so a fault could never turn /dev/zero into a file.
    fs::path zero = "/dev/zero";
    if (::geteuid() == 0) {
        zero = path.parent_path() / "zero";
        ASSERT_EQ(::mknod(zero.c_str(), S_IFCHR | 0666, makedev(1, 5)), 0);
    }
    fs::create_symlink(zero, path);
}

struct NotAFileCase
{
    NotAFile ini, names;
};

class StartupNotAFileTest : public Form1Test, public ::testing::WithParamInterface<NotAFileCase>
{
};

// Start-up neither blocks on a FIFO nor reads a device without end, and goes on as without the
// file: the port stays on COM1, the comments load (or stay empty) and the final open runs.
// Closing cannot store the settings there: code 16 and the question, the thing left as it was.
TEST_P(StartupNotAFileTest, StartUpGoesOnAsWithoutTheFile)
{
    namespace fs = std::filesystem;
    const NotAFileCase c = GetParam();
    const auto ini = exe.path() / "ComPort.ini";
    ASSERT_NO_FATAL_FAILURE(makeAt(ini, c.ini));
    ASSERT_NO_FATAL_FAILURE(makeAt(cwd.path() / "names.txt", c.names));
    const auto kind = std::make_pair(fs::symlink_status(ini).type(), fs::status(ini).type());
    start();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    EXPECT_TRUE(form->comPort().Connected());
    EXPECT_EQ(form->comPort().Port(), "COM1");
    EXPECT_EQ(form->comments().entries().size(), c.names == NotAFile::File ? 1u : 0u);

    dialogs.okCancelAnswers = {true};
    EXPECT_TRUE(form->close());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(startsWith(dialogs.messages[0], "COM Port Error: Failed to store settings"));
    EXPECT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(std::make_pair(fs::symlink_status(ini).type(), fs::status(ini).type()), kind);
}

INSTANTIATE_TEST_SUITE_P(Names, StartupNotAFileTest,
                         ::testing::Values(NotAFileCase{NotAFile::Fifo, NotAFile::Folder},
                                           NotAFileCase{NotAFile::LinkToZero, NotAFile::Fifo},
                                           NotAFileCase{NotAFile::Folder, NotAFile::File}));

TEST_F(StartupTest, AddressMenuTicksOneItemAndIsNotRemembered)
{
    start();
    QAction* a48 = action("IC7061");
    QAction* a4e = action("IC706mkii1");
    QAction* a58 = action("IC706MKIIG1");
    EXPECT_EQ(a48->text(), "IC-706               - 48H");
    EXPECT_EQ(a4e->text(), "IC-706MKII       - 4EH");
    EXPECT_EQ(a58->text(), "IC-706MKIIG - 58H");
    EXPECT_EQ(form->CIVAddress1->defaultAction(), a58);

    struct Case
    {
        QAction* item;
        const char* civaddr;
        const char* civhex;
    };
    for (const Case& c : {Case{a48, "$48", "48"}, Case{a4e, "$4E", "4E"}, Case{a4e, "$4E", "4E"},
                          Case{a58, "$58", "58"}}) {
        c.item->trigger();
        EXPECT_EQ(form->state().civaddr, c.civaddr);
        EXPECT_EQ(form->state().civhex, c.civhex);
        for (QAction* a : {a48, a4e, a58})
            EXPECT_EQ(a->isChecked(), a == c.item) << a->text().toStdString();
    }

    // The radio commands use the chosen address.
    a48->trigger();
    addRow({"Mem 12"});
    selectRow(0);
    button("gotochan")->click();
    ASSERT_EQ(radio.frames.size(), 2u);
    EXPECT_EQ(radio.frames[1],
              InstantRadio::bytes({0xFE, 0xFE, 0x48, 0xE0, 0x08, 0x00, 0x12, 0xFD}));

    // A new start begins with 58H again.
    ASSERT_TRUE(form->close());
    windows.reset();
    start();
    EXPECT_TRUE(action("IC706MKIIG1")->isChecked());
    EXPECT_FALSE(action("IC7061")->isChecked());
    EXPECT_EQ(form->state().civhex, "58");
}

TEST_F(StartupTest, StoreFailureAsksBeforeClosingWithoutSavingThePortSettings)
{
    auto o = options();
    o.exedir = (exe.path() / "no-such-folder").string() + "/";
    start(o);
    ASSERT_TRUE(form->comPort().Connected());

    dialogs.okCancelAnswers = {false};
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->comPort().Connected());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(startsWith(dialogs.messages[0], "COM Port Error: Failed to store settings"));
    ASSERT_EQ(dialogs.questions.size(), 1u);

    dialogs.okCancelAnswers = {true};
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->comPort().Connected());
    EXPECT_EQ(dialogs.questions.size(), 2u);
}

TEST_F(StartupTest, CloseDuringAReadStopsAtTheNextChannelThenCloses)
{
    start();
    radio.onWrite = [this](int frame) {
        if (frame == 5) // inside memory 1; the close arrives when memory 2 lets events in
            QMetaObject::invokeMethod(form, &QWidget::close, Qt::QueuedConnection);
    };
    button("Memoryread")->click();
    EXPECT_EQ(form->channels().size(), 2u);
    EXPECT_EQ(form->status(), "2 Memory Locations Read ");
    EXPECT_TRUE(form->isVisible()); // not while the read was still on the stack

    ASSERT_TRUE(processUntil([this] { return !form->isVisible(); }));
    EXPECT_FALSE(form->state().busy);
    EXPECT_FALSE(form->comPort().Connected());
    EXPECT_TRUE(std::filesystem::exists(exe.path() / "ComPort.ini"));
}

TEST_F(StartupTest, ClosingTheMainWindowHidesTheOtherWindows)
{
    start();
    action("helpabout1")->trigger();
    action("Errors1")->setEnabled(true);
    action("Errors1")->trigger();
    EXPECT_TRUE(windows->form2->isVisible());
    EXPECT_TRUE(windows->form3->isVisible());
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(windows->form2->isVisible());
    EXPECT_FALSE(windows->form3->isVisible());
}

TEST_F(StartupTest, DeadMissingOrUnpluggedPortEndsTheReadWithoutHanging)
{
    // The real line: ComPort1 through the exchange, with nothing answering on the pty.
    auto o = options();
    o.portIo = nullptr;
    start(o);
    button("Memoryread")->click();
    EXPECT_TRUE(form->channels().empty());
    EXPECT_EQ(form->Label1->text(), "Reading Memory Location 1");
    EXPECT_TRUE(action("Errors1")->isEnabled());
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_TRUE(form->close());
    windows.reset();

    // No port at all: the exchange's open fails with the port's message.
    backend->names["COM1"] = "/nonexistent/memvane-com1";
    dialogs.messages.clear();
    start(o);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    button("Memoryread")->click();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(startsWith(dialogs.messages[1], "COM Port Error: Unable to open com port"));
    EXPECT_TRUE(form->channels().empty());
    ASSERT_TRUE(form->close());
    windows.reset();

    // The line goes away while the port is open (a USB adapter pulled out).
    auto unplugged = std::make_unique<Pty>();
    backend->names["COM1"] = unplugged->slavePath();
    dialogs.messages.clear();
    start(o);
    ASSERT_TRUE(form->comPort().Connected());
    unplugged.reset();
    QCoreApplication::processEvents();
    button("Memoryread")->click();
    button("Writetoradio")->click();
    EXPECT_TRUE(form->channels().empty());
    EXPECT_TRUE(form->close());
}

TEST_F(StartupTest, TransceiveBroadcastOnThePortReachesMemo3)
{
    start();
    com1.send(InstantRadio::bytes({0xFE, 0xFE, 0x00, 0x58, 0x00, 0x00, 0x00, 0x50, 0x45, 0x01, 0xFD,
                                   0xFE, 0xFE, 0x00, 0x58, 0x01, 0x05, 0x02, 0xFD}));
    ASSERT_TRUE(processUntil([this] { return form->state().rxmode == "FM"; }));
    EXPECT_EQ(form->Memo3->toPlainText(), "0145.500000\nFM  Narrow");
    EXPECT_FALSE(form->Memo3->isVisible());
}

} // namespace
} // namespace memvane::test
