// The real memvane executable, driven through its window as a person does, against memvane-radio
// on a pseudo-terminal, everything watched from outside:
//  - the program is a copy in a per-test folder with its own "ComPort.ini" naming the radio's
//    link, started there under a private Xvfb (no window manager);
//  - the hands are xdotool: clicks at the controls' design positions (the left panel's layout is
//    fixed in pixels; the menu bar's height, the menu items and the list's rows are found on the
//    screen), keystrokes into the save dialog and the edit panel;
//  - the eyes are the radio's frame log and memories file, the files the program writes, the
//    clipboard after copying the error list, and screenshots (kept under
//    <ctest folder>/e2e-artefacts/<scenario>/, printed as they are taken).
//
// The program's "ComPort.ini" gives it a wait a busy machine meets, with the fast exchange, which
// stops waiting as soon as the answer is in (tests/support/RadioWait.h); one scenario runs on the
// program's own fixed 45 ms. Waits poll with generous deadlines and judge progress, never a
// duration.
#include "sim/MemoryFile.h"
#include "tests/channels/Sequences.h"
#include "tests/e2e/AtSpi.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/soak/ChannelExpectations.h"
#include "tests/support/RadioWait.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <thread>

using namespace memvane;
using namespace memvane::e2e;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Design positions in the left control panel: left, top, width, height.
struct Control
{
    int x, y, w, h;
};
constexpr Control Memoryread{17, 81, 150, 25};
constexpr Control ReadfromFile{17, 165, 150, 25};
constexpr Control savetofile{16, 223, 150, 25};
constexpr Control Writetoradio{17, 281, 150, 25};
constexpr Control STOPReading{17, 109, 150, 25};
constexpr Control Button1{18, 137, 149, 25}; // Re-Read Selected Chans
constexpr int kPanel1Width = 193;
constexpr int kWindowWidth = 890, kWindowHeight = 765;
// The edit panel sits at the bottom of the left panel, 327 high; its controls (panel
// coordinates) as laid out by the main window.
constexpr int kEditPanelHeight = 327;
constexpr Control Edit8{106, 93, 80, 21};
constexpr Control ComboBox2{106, 120, 80, 21};
constexpr Control ComboBox3{106, 147, 80, 21};
constexpr Control CheckBox1{22, 176, 150, 18};
constexpr Control Button2{14, 232, 80, 25};
constexpr Control change{100, 232, 84, 25};
// Channel list columns before "Comment": Write, Mem Loc, Freq VFO A, Freq VFO B, Mode, filter,
// Duplex / Split.
constexpr int kCommentColumnLeft = 40 + 55 + 80 + 80 + 80 + 80 + 75;
constexpr int kMenuItems = 8; // Comm Port Select, CI-V Address, Open Edit Panel, Clear List,
                              // Comment Texts, Errors, help/about, CHIRP CSV
constexpr int kErrorsItem = 5;
constexpr int kPortSelectItem = 0;
// The setup dialog's OK button, in the dialog's own coordinates.
constexpr Control SetupOk{70, 184, 75, 25};

constexpr size_t kFramesPerRead = 16, kFramesPerWrite = 24;

const char* const kSeedMemories =
    R"(# LOC RX-MHZ RX-MODE RX-FILTER TX-MHZ TX-MODE TX-FILTER SPLIT DUPLEX OFFSET-MHZ
1 145.500000 FM Normal 145.500000 FM Normal off off 0.6000
2 145.775000 FM Normal 145.175000 FM Normal off - 0.6000
3 439.100000 FM Normal 431.500000 FM Normal off - 7.6000
4 14.195000 USB Normal 14.195000 USB Normal off off 0.1000
5 7.050000 LSB Narrow 7.050000 LSB Narrow off off 0.1000
6 51.510000 FM Normal 50.910000 FM Normal off - 0.5000
7 3.500000 CW Narrow 14.025000 CW Narrow on off 0.1000
8 28.500000 AM Wide 28.500000 AM Wide off off 0.1000
9 70.200000 FM Normal 70.450000 FM Normal on off 0.1000
10 1296.000000 FM Normal 1296.000000 FM Normal off off 6.0000
12 0.475000 CW Narrow 0.475000 CW Narrow off off 0.1000
21 433.200000 FM Normal 434.800000 FM Normal off + 1.6000
33 145.612500 WFM Wide 145.612500 WFM Wide off off 0.6000
42 50.100000 RTTY Normal 50.100000 RTTY Normal off off 0.5000
58 144.800000 FM Normal 144.200000 FM Normal off - 0.6000
77 21.200000 USB Wide 21.200000 USB Wide off off 0.1000
99 146.520000 FM Normal 146.520000 FM Normal off off 0.6000
1A 144.000000 FM Normal 144.000000 FM Normal off off 0.6000
C2 145.500000 FM Normal 145.500000 FM Normal off off 0.6000
)";

// The channel file line that reading memory n of the radio and saving it must give.
std::string expectedLine(const sim::MemoryMap& memories, int n)
{
    auto it = memories.find(n);
    std::vector<std::string> texts =
        it == memories.end() ? test::blankTexts(n) : test::rowTexts(n, it->second);
    std::string line = "false";
    for (const auto& t : texts)
        line += "," + t;
    return line;
}

// The line speed set on the radio's pty, seen through a second open of its link. The program
// holds the line exclusively, which only root may look past: nullopt for anyone else.
std::optional<speed_t> lineSpeed(const std::string& link)
{
    int fd = ::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    termios t{};
    bool ok = ::tcgetattr(fd, &t) == 0;
    ::close(fd);
    return ok ? std::optional<speed_t>(::cfgetospeed(&t)) : std::nullopt;
}

std::string describe(const std::optional<sim::Memory>& m)
{
    if (!m)
        return "(blank)";
    return sim::formatMemories({{1, *m}});
}

std::string indented(const std::vector<std::string>& lines)
{
    std::string s;
    for (const auto& l : lines)
        s += "  " + l + "\n";
    return s;
}

struct Span
{
    int left, right, darkest;
};

// The menu bar's items as runs of text columns; items are further apart than the words in them.
std::vector<Span> menuItems(const Picture& p, int menuBarHeight)
{
    const Rgb background = p.at(p.width() - 3, menuBarHeight / 2);
    std::vector<Span> items;
    int gap = 1000;
    for (int x = 0; x < p.width(); ++x) {
        int darkest = 255;
        for (int y = 2; y < menuBarHeight - 3; ++y)
            darkest = std::min(darkest, p.at(x, y).luminance());
        // The grey text of a disabled item is light: some of its strokes are barely darker
        // than the bar, and must not split the item in two.
        bool ink = background.luminance() - darkest > 12;
        if (!ink) {
            ++gap;
            continue;
        }
        if (gap >= 8 || items.empty())
            items.push_back({x, x, darkest});
        items.back().right = x;
        items.back().darkest = std::min(items.back().darkest, darkest);
        gap = 0;
    }
    return items;
}

// Where the left panel begins under the menu bar: its frame's right edge runs from there down.
int panelTop(const Picture& p)
{
    const int x = kPanel1Width - 1;
    const Rgb edge = p.at(x, p.height() - 2);
    int y = p.height() - 2;
    while (y > 0 && p.at(x, y - 1) == edge)
        --y;
    return y;
}

struct ListRows
{
    int firstTop = 0, pitch = 0;
    int centre(int row) const { return firstTop + row * pitch + (pitch - 1) / 2; }
};

// The channel list's rows, from the grid lines in its (empty) comment column.
std::optional<ListRows> listRows(const Picture& p, int top)
{
    const int x = kPanel1Width + 1 + kCommentColumnLeft + 60;
    std::map<std::uint32_t, int> counts;
    auto key = [](Rgb c) { return (c.r << 16) | (c.g << 8) | c.b; };
    for (int y = top + 1; y < p.height() - 1; ++y)
        ++counts[key(p.at(x, y))];
    std::uint32_t base = 0, grid = 0;
    int baseCount = 0, gridCount = 0;
    for (auto [c, n] : counts)
        if (n > baseCount) {
            base = c;
            baseCount = n;
        }
    for (auto [c, n] : counts)
        if (c != base && n > gridCount) {
            grid = c;
            gridCount = n;
        }
    if (gridCount < 5)
        return std::nullopt;
    ListRows rows;
    std::vector<int> lines;
    for (int y = top + 1; y < p.height() - 1; ++y) {
        std::uint32_t c = key(p.at(x, y));
        if (!rows.firstTop && c == base)
            rows.firstTop = y;
        if (rows.firstTop && c == grid)
            lines.push_back(y);
    }
    if (lines.size() < 3)
        return std::nullopt;
    rows.pitch = lines[1] - lines[0];
    if (rows.pitch < 10 || rows.pitch > 60 || lines[2] - lines[1] != rows.pitch)
        return std::nullopt;
    return rows;
}

int changedPixels(const Picture& a, const Picture& b, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += !(a.at(x, y) == b.at(x, y));
    return n;
}

struct Tools
{
    std::string xvfb = findProgram("Xvfb");
    std::string xdotool = findProgram("xdotool");
    std::string import = findProgram("import");
};

class E2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (m_tools.xvfb.empty() || m_tools.xdotool.empty())
            GTEST_SKIP() << "Xvfb and xdotool are needed to drive the program as a user: "
                            "apt-get install xvfb xdotool imagemagick (scripts/test does this "
                            "when run as root)";
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_artefacts = fs::current_path() / "e2e-artefacts" / info->name();
        fs::remove_all(m_artefacts);
        fs::create_directories(m_artefacts);
        if (m_tools.import.empty())
            std::cout << "[e2e] ImageMagick's import is missing: no screenshots\n";
        std::cout << "[e2e] artefacts (screenshots, logs): " << m_artefacts.string() << "\n";
        fs::create_directories(m_dir.path() / "home");
        fs::create_directories(m_dir.path() / "runtime");
        ::chmod((m_dir.path() / "runtime").c_str(), 0700);
        m_x = std::make_unique<XServer>(m_tools.xvfb, (m_artefacts / "xvfb.log").string());
        m_view = std::make_unique<XView>(m_x->display());
        m_desktop = std::make_unique<Desktop>(m_x->display(), m_tools.xdotool, m_tools.import);
        m_start = Clock::now();
    }

    void TearDown() override
    {
        if (m_program && m_program->running()) {
            shot("left-running");
            m_program->stop();
        }
        m_program.reset();
        m_radio.reset();
        // The program's and the radio's own words, next to the screenshots.
        for (const char* name : {"memvane.out", "radio.out", "frames.log", "memories.txt"}) {
            std::error_code ec;
            fs::copy_file(m_dir.path() / name, m_artefacts / name,
                          fs::copy_options::overwrite_existing, ec);
        }
    }

    void note(const std::string& what)
    {
        auto s = std::chrono::duration<double>(Clock::now() - m_start).count();
        char buf[32];
        std::snprintf(buf, sizeof buf, "[e2e %6.1f s] ", s);
        std::cout << buf << what << std::endl;
    }

    void shot(const std::string& step)
    {
        char name[96];
        std::snprintf(name, sizeof name, "%02d-%s.png", ++m_shots, step.c_str());
        std::string path = (m_artefacts / name).string();
        if (m_desktop->screenshot(path))
            note("screenshot " + path);
    }

    std::string file(const std::string& name) const { return m_dir.file(name); }

    void startRadio(const std::vector<std::string>& extra = {})
    {
        spit(file("memories.txt"), kSeedMemories);
        Child::Options o;
        // The radio answers as soon as it is scheduled; the program waits for it as long as a
        // busy machine needs.
        o.argv = {MEMVANE_RADIO_EXE,
                  "--link",
                  file("radio"),
                  "--memories",
                  file("memories.txt"),
                  "--log",
                  file("frames.log"),
                  "--delay-ms",
                  "0"};
        o.argv.insert(o.argv.end(), extra.begin(), extra.end());
        o.env = {{"PATH", "/usr/bin:/bin"}, {"XDG_RUNTIME_DIR", file("runtime")}};
        o.outPath = file("radio.out");
        // A real radio answers in time however busy the computer is; the simulated one shares
        // the computer's CPUs, so it gets ahead of other work where that is allowed.
        o.niceness = -10;
        m_radio = std::make_unique<Child>(o);
        ASSERT_TRUE(waitUntil([&] { return !slurp(file("radio.out")).empty(); }, 30s))
            << "memvane-radio did not report its pseudo-terminal";
        ASSERT_TRUE(fs::is_symlink(file("radio")));
    }

    // The program in its own folder, next to a "ComPort.ini" that names the radio's link and,
    // unless `ownWait`, gives it the wait of a busy machine.
    void startProgram(const std::string& locale = "C.UTF-8", bool ownWait = false)
    {
        fs::copy_file(MEMVANE_EXE, file("memvane"), fs::copy_options::overwrite_existing);
        // Only the port: closing the window must write the full set. The other sections must
        // survive that.
        spit(file("ComPort.ini"), "[Other]\r\nKeep=this\r\n" +
                                      (ownWait ? std::string() : test::busyMachineSettings()) +
                                      "[ComPort1]\r\nPort=" + file("radio") + "\r\n");
        Child::Options o;
        o.argv = {file("memvane")};
        o.cwd = m_dir.path().string();
        o.env = {{"DISPLAY", m_x->display()},
                 {"QT_QPA_PLATFORM", "xcb"},
                 {"HOME", file("home")},
                 {"XDG_CONFIG_HOME", file("home")},
                 {"XDG_RUNTIME_DIR", file("runtime")},
                 {"LC_ALL", locale},
                 {"TZ", "UTC"},
                 {"PATH", "/usr/bin:/bin"}};
        o.env.insert(m_programEnv.begin(), m_programEnv.end());
        o.outPath = file("memvane.out");
        m_program = std::make_unique<Child>(o);
        note("memvane started, pid " + std::to_string(m_program->pid()));

        // The title is set by the deferred start-up, which also gives the window its size.
        m_window = m_desktop->findWindow("Memvane Ver", 60s);
        ASSERT_NE(m_window, 0u) << "the main window did not show; see memvane.out";
        ASSERT_TRUE(waitUntil(
            [&] {
                auto g = m_view->geometry(m_window);
                return g && g->width == kWindowWidth && g->height == kWindowHeight;
            },
            30s))
            << "the main window did not take its 890 x 765 size";
        // Mapped is not yet painted: wait for the left panel to show under the menu bar.
        ASSERT_TRUE(waitUntil(
            [&] {
                m_top = panelTop(screen());
                return m_top > 10 && m_top < 60;
            },
            30s))
            << "no left panel found under the menu bar";
        note("main window up; the menu bar is " + std::to_string(m_top) + " pixels high");
    }

    Picture screen()
    {
        // The pointer must not light up a menu item or a button while we look.
        m_desktop->movePointerAway();
        std::optional<Picture> p = m_view->grab(m_window);
        if (!p)
            throw std::runtime_error("the main window cannot be seen");
        return *p;
    }

    void clickControl(const Control& c)
    {
        m_desktop->click(m_window, c.x + c.w / 2, m_top + c.y + c.h / 2);
    }
    void clickEditPanel(const Control& c)
    {
        m_desktop->click(m_window, c.x + c.w / 2, kWindowHeight - kEditPanelHeight + c.y + c.h / 2);
    }
    void clickEditText(const Control& c)
    {
        // The text part of a box, away from a drop-down arrow.
        m_desktop->click(m_window, c.x + 20, kWindowHeight - kEditPanelHeight + c.y + c.h / 2);
    }

    std::vector<std::string> frames() { return readLines(file("frames.log")); }

    // Waits until the frame log has stopped growing for `quiet` (and holds at least `atLeast`
    // frames); returns its size. A dead program or radio shows as a log that stops early.
    size_t waitForQuietLog(size_t atLeast, std::chrono::milliseconds quiet,
                           std::chrono::seconds cap = 600s)
    {
        auto end = Clock::now() + cap;
        size_t last = frames().size();
        auto lastChange = Clock::now();
        while (Clock::now() < end) {
            std::this_thread::sleep_for(200ms);
            size_t now = frames().size();
            if (now != last) {
                last = now;
                lastChange = Clock::now();
                continue;
            }
            if (now >= atLeast && Clock::now() - lastChange >= quiet)
                return now;
            if (now < atLeast && Clock::now() - lastChange >= 20s)
                return now; // stalled short of the goal
        }
        return frames().size();
    }

    // The file the radio keeps its memories in, once it has stopped changing.
    sim::MemoryMap settledMemories()
    {
        std::string last = slurp(file("memories.txt"));
        waitUntil(
            [&] {
                std::this_thread::sleep_for(500ms);
                std::string now = slurp(file("memories.txt"));
                bool same = now == last;
                last = now;
                return same;
            },
            10s, 0ms);
        return sim::parseMemories(last, "memories.txt");
    }

    // "Save to File" through Qt's own save dialog: the full path typed into its name box.
    void saveTo(const std::string& path)
    {
        clickControl(savetofile);
        unsigned long dialog = m_desktop->findWindow("Save your text or word file", 30s);
        ASSERT_NE(dialog, 0u) << "the save dialog did not show";
        shot("save-dialog");
        m_desktop->key(dialog, "ctrl+a");
        m_desktop->type(dialog, path);
        m_desktop->key(dialog, "Return");
        ASSERT_TRUE(waitUntil([&] { return fs::exists(path); }, 30s))
            << "nothing saved at " << path;
        ASSERT_TRUE(waitUntil([&] { return !m_desktop->windowExists(dialog); }, 30s))
            << "the save dialog stayed open";
        note("saved " + path);
    }

    // Closes the main window as a window manager's close button would, and waits for the exit.
    void closeProgram()
    {
        ASSERT_TRUE(m_view->acceptsCloseRequest(m_window))
            << "the main window does not take close requests";
        m_view->requestClose(m_window);
        std::optional<int> status = m_program->wait(60s);
        ASSERT_TRUE(status) << "the program did not end after its window was closed";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "exit status " << *status;
        note("program ended");
    }

    void expectSettingsWritten()
    {
        std::string ini = slurp(file("ComPort.ini"));
        std::string expected = "[ComPort1]\r\nPort=" + file("radio") +
                               "\r\nBaudRate=19200\r\nStopBits=1\r\nDataBits=8\r\nParity=None"
                               "\r\nFlowControl=None\r\n";
        EXPECT_NE(ini.find(expected), std::string::npos) << "ComPort.ini after close:\n" << ini;
        EXPECT_EQ(ini.rfind("[Other]\r\nKeep=this\r\n", 0), 0u) << ini;
    }

    // Edit panel: opens list row `row` with a double click, types `rx`, FM and Normal, ticks
    // "Split/Duplex On" (the row must be simplex), then "Refrash" and "Change Line".
    void editRow(int row, const std::string& rx)
    {
        Picture before = screen();
        std::optional<ListRows> rows = listRows(before, m_top);
        ASSERT_TRUE(rows) << "no list rows found on the screen";
        m_desktop->doubleClick(m_window, kPanel1Width + 1 + 40 + 25, rows->centre(row));
        const int panelTop = kWindowHeight - kEditPanelHeight;
        ASSERT_TRUE(waitUntil(
            [&] {
                return changedPixels(before, screen(), 2, panelTop + 5, kPanel1Width - 2,
                                     kWindowHeight - 5) > 500;
            },
            20s))
            << "the edit panel did not open";
        m_desktop->focus(m_window);
        clickEditText(Edit8);
        m_desktop->key(m_window, "ctrl+a");
        m_desktop->type(m_window, rx);
        clickEditText(ComboBox2);
        m_desktop->key(m_window, "ctrl+a");
        m_desktop->type(m_window, "FM");
        clickEditText(ComboBox3);
        m_desktop->key(m_window, "ctrl+a");
        m_desktop->type(m_window, "Normal");
        m_desktop->click(m_window, CheckBox1.x + 7, panelTop + CheckBox1.y + CheckBox1.h / 2);
        clickEditPanel(Button2);
        shot("edit-panel-refrashed");
        clickEditPanel(change);
    }

    // The program's message box (title "Memvane"): its text as the user can copy it (a click
    // into the text, select all, copy), after a screenshot; the box is then closed with its OK
    // button (Return).
    std::string answerMessage(const std::string& step)
    {
        unsigned long box = m_desktop->findWindow("^Memvane$", 60s);
        if (box == 0)
            return "(no message box)";
        shot(step);
        m_view->clearClipboard();
        m_desktop->click(box, 100, 18); // the first line of the text, right of the icon
        m_desktop->key(box, "ctrl+a");
        m_desktop->key(box, "ctrl+c");
        std::string text = m_view->clipboardText(20s).value_or("(nothing copied)");
        m_desktop->key(box, "Return");
        if (!waitUntil([&] { return !m_desktop->windowExists(box); }, 30s))
            ADD_FAILURE() << "the message box stayed open";
        note("message: " + text);
        return text;
    }

    // Reads until `channels` memories are in, then STOP; the frames it sent from `from` on.
    std::vector<std::string> readSomeChannels(size_t from, size_t channels)
    {
        clickControl(Memoryread);
        waitUntil([&] { return frames().size() >= from + channels * kFramesPerRead; }, 120s);
        clickControl(STOPReading);
        waitForQuietLog(from + channels * kFramesPerRead, 2s, 120s);
        std::vector<std::string> log = frames();
        return std::vector<std::string>(log.begin() + static_cast<long>(std::min(from, log.size())),
                                        log.end());
    }

    // The menu bar item's centre; checks that the bar shows all its items.
    std::pair<Span, int> errorsItem()
    {
        std::vector<Span> items = menuItems(screen(), m_top);
        EXPECT_EQ(items.size(), static_cast<size_t>(kMenuItems)) << "menu bar items on screen";
        if (items.size() != static_cast<size_t>(kMenuItems))
            return {{0, 0, 255}, 0};
        Span s = items[kErrorsItem];
        return {s, (s.left + s.right) / 2};
    }

    Tools m_tools;
    test::TempDir m_dir;
    fs::path m_artefacts;
    std::unique_ptr<XServer> m_x;
    std::unique_ptr<XView> m_view;
    std::unique_ptr<Desktop> m_desktop;
    std::unique_ptr<Child> m_radio, m_program;
    Env m_programEnv; // added to the program's environment
    unsigned long m_window = 0;
    int m_top = 0;
    int m_shots = 0;
    Clock::time_point m_start;
};

} // namespace

TEST_F(E2e, ReadSaveEditWriteAndClose)
{
    ASSERT_NO_FATAL_FAILURE(startRadio());
    ASSERT_NO_FATAL_FAILURE(startProgram());
    shot("started");
    const sim::MemoryMap seed = sim::parseMemories(kSeedMemories, "seed");

    // "Read Radio Memory": 16 exchanges for each of memories 1..99.
    std::vector<std::string> readSequence;
    for (int m = 1; m <= 99; ++m)
        test::append(readSequence, test::readFrames(test::locationHex(m)));
    size_t from = frames().size();
    note("Read Radio Memory");
    clickControl(Memoryread);
    size_t got = waitForQuietLog(from + readSequence.size(), 3s) - from;
    note("read: " + std::to_string(got) + " frames");
    std::vector<std::string> log = frames();
    if (got != readSequence.size())
        shot("read-ended-early");
    ASSERT_EQ(got, readSequence.size())
        << "last frames:\n"
        << indented(std::vector<std::string>(
               log.end() - std::min<long>(3, static_cast<long>(log.size())), log.end()));
    ASSERT_EQ(std::vector<std::string>(log.begin() + static_cast<long>(from), log.end()),
              readSequence);
    shot("read-complete");

    // Reading stores every memory twice (split on, then off): frequencies, modes and offsets
    // stay, split and duplex are cleared, blank memories stay blank.
    const sim::MemoryMap afterRead = settledMemories();
    ASSERT_EQ(afterRead.size(), seed.size());
    for (const auto& [n, m] : seed) {
        ASSERT_TRUE(afterRead.count(n)) << "memory " << n;
        const sim::Memory& r = afterRead.at(n);
        EXPECT_EQ(r.receive, m.receive) << "memory " << n;
        EXPECT_EQ(r.transmit, m.transmit) << "memory " << n;
        EXPECT_EQ(r.offsetHz, m.offsetHz) << "memory " << n;
    }

    // "Save to File": one line per memory, as the radio holds it.
    const std::string saved = file("saved.txt");
    ASSERT_NO_FATAL_FAILURE(saveTo(saved));
    std::string expectedFile;
    for (int n = 1; n <= 99; ++n)
        expectedFile += expectedLine(afterRead, n) + "\r\n";
    EXPECT_EQ(slurp(saved), expectedFile);

    // Edit panel: open the row of memory 5 with a double click, make it a 2 m repeater
    // channel in FM, "Refrash", "Change Line".
    ASSERT_NO_FATAL_FAILURE(editRow(4, "145.65"));
    shot("line-changed");

    // The changed row, seen through a second save: ticked, receive 145.65 and transmit 0.6 MHz
    // below it, the rest of the list untouched.
    const std::string edited = file("edited.txt");
    ASSERT_NO_FATAL_FAILURE(saveTo(edited));
    std::string expectedEdited;
    for (int n = 1; n <= 99; ++n)
        expectedEdited += (n == 5 ? "true,Mem 5,0145.050000,0145.650000,FM,Normal,Duplex --,," +
                                        test::offsetText(afterRead.at(5).offsetHz)
                                  : expectedLine(afterRead, n)) +
                          "\r\n";
    EXPECT_EQ(slurp(edited), expectedEdited);

    // "Write to Radio": the one ticked row, 24 exchanges.
    from = frames().size();
    note("Write to Radio");
    clickControl(Writetoradio);
    size_t written = waitForQuietLog(from + kFramesPerWrite, 2s) - from;
    log = frames();
    EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<long>(from), log.end()),
              test::writeFrames("0005", "0000054501", "0000654501", "0501", "11"))
        << written << " frames";
    shot("written");

    ASSERT_NO_FATAL_FAILURE(closeProgram());
    shot("closed");
    expectSettingsWritten();

    // The radio saves its memories at exit: memory 5 is the edited channel, every other memory
    // is as the reading left it.
    int radioStatus = m_radio->stop();
    EXPECT_TRUE(WIFEXITED(radioStatus) && WEXITSTATUS(radioStatus) == 0);
    sim::MemoryMap final = sim::loadMemories(file("memories.txt"), false);
    sim::Memory five = afterRead.at(5);
    five.receive = {145'650'000, sim::kModeFm, sim::kFilterNormal};
    five.transmit = {145'050'000, sim::kModeFm, sim::kFilterNormal};
    five.split = false;
    five.duplex = sim::Duplex::Minus;
    sim::MemoryMap expectedMemories = afterRead;
    expectedMemories[5] = five;
    for (int n = sim::kFirstMemory; n <= sim::kLastMemory; ++n) {
        std::optional<sim::Memory> want, got;
        if (expectedMemories.count(n))
            want = expectedMemories.at(n);
        if (final.count(n))
            got = final.at(n);
        EXPECT_EQ(describe(got), describe(want)) << "memory " << sim::memoryName(n);
    }
    note("done");
}

// On the program's own settings: its fixed 45 ms wait, which a silent radio cannot miss.
TEST_F(E2e, SilentRadio)
{
    ASSERT_NO_FATAL_FAILURE(startRadio({"--silent"}));
    ASSERT_NO_FATAL_FAILURE(startProgram("C.UTF-8", true));
    shot("started");

    auto [errorsBefore, errorsX] = errorsItem();
    ASSERT_NE(errorsX, 0);
    EXPECT_GT(errorsBefore.darkest, 100) << "\"Errors\" should start disabled (grey)";

    // The reading ends at its first exchange: the echo comes back, no answer.
    note("Read Radio Memory");
    clickControl(Memoryread);
    ASSERT_EQ(waitForQuietLog(1, 2s, 60s), 1u);
    note("frame log quiet");
    EXPECT_EQ(frames(), (std::vector<std::string>{"FEFE58E008FD"}));
    ASSERT_TRUE(waitUntil([&] { return errorsItem().first.darkest < 100; }, 30s))
        << "\"Errors\" was not enabled";
    shot("read-failed");

    // The window still answers: "Errors" shows the error list.
    m_desktop->click(m_window, errorsX, m_top / 2);
    unsigned long errorList = m_desktop->findWindow("Error List", 30s);
    ASSERT_NE(errorList, 0u) << "the error list did not show";
    shot("error-list");

    const std::string expectedLines = "Mem 1 Command sent to radio was FEFE58E008FD\n"
                                      "Mem 1 No return from Radio!! - Check ComPort and CI-V "
                                      "settings.\n";
    auto copyErrorList = [&]() -> std::string {
        m_view->clearClipboard();
        auto g = m_view->geometry(errorList);
        m_desktop->focus(errorList);
        m_desktop->click(errorList, g->width / 2, g->height / 2);
        m_desktop->key(errorList, "ctrl+a");
        m_desktop->key(errorList, "ctrl+c");
        return m_view->clipboardText(20s).value_or("(nothing copied)");
    };
    EXPECT_EQ(copyErrorList(), expectedLines);

    // A second reading empties the list first and fails the same way.
    clickControl(Memoryread);
    ASSERT_EQ(waitForQuietLog(2, 2s, 60s), 2u);
    EXPECT_EQ(copyErrorList(), expectedLines);
    shot("second-read-failed");

    ASSERT_NO_FATAL_FAILURE(closeProgram());
    shot("closed");
    expectSettingsWritten();
    EXPECT_FALSE(m_desktop->windowExists(errorList));
}

TEST_F(E2e, StopAndCloseWhileReading)
{
    // A radio slow enough that the 99 memories are still being read when STOP and the close
    // come (16 x 20 ms a memory).
    ASSERT_NO_FATAL_FAILURE(startRadio({"--delay-ms", "20"}));
    ASSERT_NO_FATAL_FAILURE(startProgram());

    // "STOP Reading Memory" is seen between two channels: the channel under way is finished.
    clickControl(Memoryread);
    ASSERT_TRUE(waitUntil([&] { return frames().size() >= 2 * kFramesPerRead; }, 120s));
    clickControl(STOPReading);
    size_t stopped = waitForQuietLog(2 * kFramesPerRead, 2s, 120s);
    note("stopped after " + std::to_string(stopped) + " frames");
    EXPECT_EQ(stopped % kFramesPerRead, 0u) << "the reading stopped inside a channel";
    EXPECT_LT(stopped, 99 * kFramesPerRead);
    shot("stopped");

    // Closing the window in the middle of a reading: the reading ends after its channel, then
    // the window closes as usual, saving the port settings.
    size_t from = frames().size();
    clickControl(Memoryread);
    ASSERT_TRUE(waitUntil([&] { return frames().size() >= from + 2 * kFramesPerRead; }, 120s));
    shot("reading-again");
    ASSERT_NO_FATAL_FAILURE(closeProgram());
    size_t total = frames().size() - from;
    note("closed after " + std::to_string(total) + " frames of the second reading");
    EXPECT_EQ(total % kFramesPerRead, 0u) << "the program ended inside a channel";
    EXPECT_LT(total, 99 * kFramesPerRead);
    expectSettingsWritten();
}

// "ComPort.ini" names the radio's symbolic link, which the port list does not hold (it lists
// the pty the radio advertises). The dialog must still show that port, so choosing 38400 and
// OK keeps the radio: the new speed reaches the line at once and is stored at close.
TEST_F(E2e, SetupDialogKeepsAPortItDoesNotList)
{
    ASSERT_NO_FATAL_FAILURE(startRadio());
    ASSERT_NO_FATAL_FAILURE(startProgram());
    const bool seesSpeed = lineSpeed(file("radio")).has_value();
    if (seesSpeed)
        EXPECT_EQ(lineSpeed(file("radio")), B19200);
    else
        std::cout << "[e2e] not root: the line's speed cannot be looked at, only its use\n";

    std::vector<Span> items = menuItems(screen(), m_top);
    ASSERT_EQ(items.size(), static_cast<size_t>(kMenuItems)) << "menu bar items on screen";
    const Span& portSelect = items[kPortSelectItem];
    m_desktop->click(m_window, (portSelect.left + portSelect.right) / 2, m_top / 2);
    unsigned long dialog = m_desktop->findWindow("Setup", 30s);
    ASSERT_NE(dialog, 0u) << "the setup dialog did not show";
    shot("setup-dialog");
    // The port box has the focus; the baud-rate box is next, and 38400 follows 19200.
    m_desktop->key(dialog, "Tab");
    m_desktop->key(dialog, "Down");
    shot("38400-chosen");
    m_desktop->click(dialog, SetupOk.x + SetupOk.w / 2, SetupOk.y + SetupOk.h / 2);
    ASSERT_TRUE(waitUntil([&] { return !m_desktop->windowExists(dialog); }, 30s))
        << "the setup dialog stayed open";
    note("setup dialog closed with OK");
    if (seesSpeed) {
        EXPECT_EQ(lineSpeed(file("radio")), B38400) << "38400 did not reach the line at once";
    }

    // The radio still answers on that line: re-read memory 1 from a ticked row.
    spit(file("Default.txt"),
         "true,Mem 1,0007.000000,0007.000000,LSB,Normal,Duplex Off,,00.1000\r\n");
    clickControl(ReadfromFile);
    clickControl(Button1);
    ASSERT_EQ(waitForQuietLog(kFramesPerRead, 2s, 60s), kFramesPerRead);
    EXPECT_EQ(frames(), test::readFrames("0001"));
    EXPECT_GT(errorsItem().first.darkest, 100) << "an exchange failed: \"Errors\" is enabled";
    shot("re-read");

    ASSERT_NO_FATAL_FAILURE(closeProgram());
    std::string ini = slurp(file("ComPort.ini"));
    EXPECT_NE(ini.find("[ComPort1]\r\nPort=" + file("radio") +
                       "\r\nBaudRate=38400\r\nStopBits=1\r\nDataBits=8\r\nParity=None"
                       "\r\nFlowControl=None\r\n"),
              std::string::npos)
        << "ComPort.ini after close:\n"
        << ini;
}

// A user whose regional settings write decimals with a comma: every frequency text the program
// loads, shows, saves and sends still uses a full stop.
TEST_F(E2e, CommaDecimalLocale)
{
    const char* const kLocale = "de_DE.UTF-8";
    if (locale_t l = ::newlocale(LC_ALL_MASK, kLocale, nullptr))
        ::freelocale(l);
    else
        GTEST_SKIP() << "locale " << kLocale << " is not generated: localedef -i de_DE -f UTF-8 "
                     << kLocale << " (scripts/test does this when run as root)";
    ASSERT_NO_FATAL_FAILURE(startRadio());
    ASSERT_NO_FATAL_FAILURE(startProgram(kLocale));

    // "Read from File Name ^" loads Default.txt from the program's folder; loading rewrites the
    // frequency fields in the "0000.000000" form.
    spit(file("Default.txt"), "true,Mem 1,145.5,145.5,FM,Normal,Duplex Off,,00.6000\r\n"
                              "false,Mem 2,7.05,7.05,LSB,Narrow,Duplex Off,,00.1000\r\n"
                              "true,Mem 3,0439.100000,0431.500000,FM,Normal,Duplex +,,07.6000\r\n"
                              "false,Mem 4,14.195,14.195,USB,Normal,Duplex Off,,00.1000\r\n"
                              "false,Mem 5,28.5,28.5e0,AM,Wide,Duplex Off,,00.1000\r\n"
                              "false,Mem 6, , , , , , , \r\n");
    Picture empty = screen();
    clickControl(ReadfromFile);
    ASSERT_TRUE(waitUntil(
        [&] {
            return changedPixels(empty, screen(), kPanel1Width + 2, m_top + 30, kWindowWidth - 2,
                                 m_top + 120) > 500 &&
                   listRows(screen(), m_top);
        },
        20s))
        << "the list did not show the file's rows";
    shot("loaded");

    // Memory 2 becomes a 2 m repeater channel: 145.65 received, 0.6 MHz below it sent.
    ASSERT_NO_FATAL_FAILURE(editRow(1, "145.65"));
    shot("line-changed");
    const std::string saved = file("saved.txt");
    ASSERT_NO_FATAL_FAILURE(saveTo(saved));
    EXPECT_EQ(slurp(saved), "true,Mem 1,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.6000\r\n"
                            "true,Mem 2,0145.050000,0145.650000,FM,Normal,Duplex --,,00.1000\r\n"
                            "true,Mem 3,0439.100000,0431.500000,FM,Normal,Duplex +,,07.6000\r\n"
                            "false,Mem 4,0014.195000,0014.195000,USB,Normal,Duplex Off,,00.1000\r\n"
                            "false,Mem 5,0028.500000,0028.500000,AM,Wide,Duplex Off,,00.1000\r\n"
                            "false,Mem 6, , , , , , , \r\n");

    // "Write to Radio": the three ticked rows, none refused.
    std::vector<std::string> expected;
    test::append(expected, test::writeFrames("0001", "0000504501", "0000504501", "0501", "10"));
    test::append(expected, test::writeFrames("0002", "0000054501", "0000654501", "0501", "11"));
    test::append(expected, test::writeFrames("0003", "0000103904", "0000503104", "0501", "12"));
    const size_t from = frames().size();
    clickControl(Writetoradio);
    size_t written = waitForQuietLog(from + expected.size(), 2s) - from;
    std::vector<std::string> log = frames();
    EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<long>(from), log.end()), expected)
        << written << " frames";
    shot("written");

    ASSERT_NO_FATAL_FAILURE(closeProgram());
    expectSettingsWritten();
}

TEST_F(E2e, RadioLostAndBackOnTheSameLink)
{
    // The radio's line dies in the middle of the 40th command (memory 3) and its link then
    // points at a new pseudo-terminal, as a re-plugged USB cable comes back under its
    // /dev/serial/by-id/ name.
    ASSERT_NO_FATAL_FAILURE(startRadio({"--hangup-after", "40"}));
    ASSERT_NO_FATAL_FAILURE(startProgram());
    const std::string link = file("radio");
    note("Read Radio Memory");
    clickControl(Memoryread);
    std::string text = answerMessage("port-lost");
    EXPECT_NE(text.find("COM Port Error: ReadFile function failed on " + link), std::string::npos)
        << text;
    EXPECT_NE(text.find("lost " + link + ": the device hung up (unplugged, switched off or reset)"),
              std::string::npos)
        << text;
    ASSERT_EQ(frames().size(), 40u);

    // The next reading opens the port by its name again and simply works.
    std::vector<std::string> expected;
    for (int m = 1; m <= 2; ++m)
        test::append(expected, test::readFrames(test::locationHex(m)));
    std::vector<std::string> again = readSomeChannels(40, 2);
    ASSERT_GE(again.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(again.begin(), again.begin() + 32), expected);
    shot("read-again");

    // The radio's program ends while the window is idle: the port is let go, so the next command
    // opens it as always and says plainly that the device is not there.
    m_radio->stop();
    ASSERT_FALSE(fs::exists(fs::symlink_status(link)));
    clickControl(Memoryread);
    text = answerMessage("radio-gone");
    EXPECT_NE(text.find("COM Port Error: Unable to open com port on " + link), std::string::npos)
        << text;
    EXPECT_NE(text.find("cannot open " + link + ": No such file or directory"), std::string::npos)
        << text;

    // The radio is back on the same link: reading works without touching "Comm Port Select".
    ASSERT_NO_FATAL_FAILURE(startRadio());
    std::vector<std::string> back = readSomeChannels(0, 2);
    ASSERT_GE(back.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(back.begin(), back.begin() + 32), expected);
    shot("radio-back");

    ASSERT_NO_FATAL_FAILURE(closeProgram());
    expectSettingsWritten();
}

// The round of a user who works the keyboard only and hears the program through a screen
// reader: every key is pressed with xdotool, and every step waits until the accessibility bus
// reports the focus on an object with the expected role and name.
TEST_F(E2e, KeyboardOnlyWithAScreenReader)
{
    if (std::string lacking = AccessibilityBus::missing(); !lacking.empty())
        GTEST_SKIP() << "following the program as a screen reader does needs the accessibility "
                        "bus: "
                     << lacking << " (scripts/test does this when run as root)";
    std::unique_ptr<AccessibilityBus> bus;
    try {
        bus = std::make_unique<AccessibilityBus>(m_dir.path().string(), m_x->display(),
                                                 file("runtime"), m_artefacts.string());
        bus->watch("Memvane");
    } catch (const std::exception& error) {
        GTEST_SKIP() << "the accessibility bus cannot start on this machine: " << error.what();
    }
    m_programEnv = bus->env();
    ASSERT_NO_FATAL_FAILURE(startRadio());
    ASSERT_NO_FATAL_FAILURE(startProgram());
    const unsigned long main = m_window;

    auto lines = [&](const char* kind) {
        std::vector<std::string> out;
        const std::string prefix = std::string(kind) + "\t";
        for (const std::string& l : bus->events())
            if (l.rfind(prefix, 0) == 0)
                out.push_back(l.substr(prefix.size()));
        return out;
    };
    auto lastFocus = [&] {
        std::vector<std::string> f = lines("focus");
        return f.empty() ? std::string() : f.back();
    };
    auto focusDump = [&] {
        std::vector<std::string> f = lines("focus");
        return indented(std::vector<std::string>(
            f.end() - std::min<long>(6, static_cast<long>(f.size())), f.end()));
    };
    // One key, then the focus must land on `want` ("role<TAB>name").
    auto keyThenFocus = [&](const std::string& key, const std::string& want) {
        size_t before = lines("focus").size();
        m_desktop->press(key);
        return waitUntil([&] { return lines("focus").size() > before && lastFocus() == want; },
                         20s);
    };
    // `key` again and again until the focus is on `want`, at most `presses` times.
    auto keyUntilFocus = [&](const std::string& key,
                             const std::function<bool(const std::string&)>& want, int presses) {
        for (int i = 0; i < presses; ++i) {
            size_t before = lines("focus").size();
            m_desktop->press(key);
            waitUntil([&] { return lines("focus").size() > before; }, 3s);
            if (want(lastFocus()))
                return true;
        }
        return false;
    };
    // The keyboard to another window (no window manager here), once: then its focus event.
    auto focusWindow = [&](unsigned long window) {
        size_t before = lines("focus").size();
        m_desktop->focus(window);
        waitUntil([&] { return lines("focus").size() > before; }, 10s);
    };
    auto is = [](std::string want) { return [want](const std::string& l) { return l == want; }; };

    // The program's window takes the keyboard: the file-name box has the focus.
    m_desktop->focus(main);
    ASSERT_TRUE(waitUntil([&] { return lastFocus() == "text\tFile name"; }, 30s)) << focusDump();

    // Alt alone, and F10, light the menu bar's first item; Escape gives the focus back.
    size_t before = lines("focus").size();
    m_desktop->tapModifier("alt");
    auto litSinceTap = [&] {
        std::vector<std::string> f = lines("focus");
        return std::find(f.begin() + static_cast<long>(std::min(before, f.size())), f.end(),
                         "menu item\tComm Port Select ") != f.end();
    };
    ASSERT_TRUE(waitUntil(litSinceTap, 20s)) << focusDump();
    shot("alt-lights-the-menu-bar");
    // On this loaded machine the program now and then sees a second Alt tap from xdotool right
    // after the first, which leaves the bar again at once; either way Escape or that second
    // tap gives the focus back.
    if (lastFocus() != "text\tFile name")
        m_desktop->press("Escape");
    ASSERT_TRUE(waitUntil([&] { return lastFocus() == "text\tFile name"; }, 20s)) << focusDump();
    ASSERT_TRUE(keyThenFocus("F10", "menu item\tComm Port Select ")) << focusDump();

    // "Comm Port Select ": the setup dialog, its baud rate one step up, OK.
    m_desktop->press("Return");
    unsigned long setup = m_desktop->findWindow("Setup", 30s);
    ASSERT_NE(setup, 0u) << "the setup dialog did not open";
    focusWindow(setup);
    // The port box has the focus first (named by the port it shows); then the baud rate.
    ASSERT_TRUE(waitUntil([&] { return lastFocus() == "combo box\t" + file("radio"); }, 20s))
        << focusDump();
    ASSERT_TRUE(keyUntilFocus("Tab", is("combo box\t19200"), 3)) << focusDump();
    m_desktop->press("Down");
    ASSERT_TRUE(waitUntil(
        [&] { return bus->tree("Memvane").value_or("").find("combo box\t38400\t") !=
                     std::string::npos; },
        30s, 500ms))
        << "the baud rate box does not read 38400";
    shot("setup-dialog-by-keyboard");
    m_desktop->press("Return");
    ASSERT_TRUE(waitUntil([&] { return !m_desktop->windowExists(setup); }, 30s));

    // "Read Radio Memory" from the Tab order; its progress reaches the screen reader.
    focusWindow(main);
    ASSERT_TRUE(waitUntil([&] { return lastFocus() == "text\tFile name"; }, 20s))
        << "the focus did not go back where it was before the menu: " << focusDump();
    ASSERT_TRUE(keyUntilFocus("Tab", is("push button\tRead Radio Memory"), 20))
        << focusDump();
    const size_t readFrames = 99 * kFramesPerRead;
    size_t from = frames().size();
    m_desktop->press("space");
    size_t got = waitForQuietLog(from + readFrames, 3s) - from;
    if (got != readFrames)
        shot("read-ended-early");
    ASSERT_EQ(got, readFrames);
    shot("read-by-keyboard");
    const std::vector<std::string> said = lines("name");
    for (const char* text : {"label\tReading Memory Location 50", "label\tReading Memory Location 99",
                             "label\t99 Memory Locations Read "})
        EXPECT_NE(std::find(said.begin(), said.end(), text), said.end())
            << "not announced: " << text;

    // The channel list by Tab; memory 5 by the arrow keys; the context-menu key opens it in
    // the edit panel with the focus in the receive frequency.
    ASSERT_TRUE(keyUntilFocus("Tab",
                              [](const std::string& l) {
                                  return l == "table\tMemory channels" ||
                                         l.find("\tMem 1") != std::string::npos;
                              },
                              20))
        << focusDump();
    ASSERT_TRUE(keyUntilFocus("Down", is("table cell\tMem 5"), 5)) << focusDump();
    ASSERT_TRUE(keyThenFocus("Menu", "text\tReceive frequency")) << focusDump();
    m_desktop->press("ctrl+a");
    m_desktop->type(main, "145.65");
    ASSERT_TRUE(keyUntilFocus("Tab", is("push button\tChange Line"), 10)) << focusDump();
    m_desktop->press("space");
    shot("line-changed-by-keyboard");

    // "Write to Radio": the one ticked row.
    ASSERT_TRUE(keyUntilFocus("Tab", is("push button\tWrite to Radio"), 40)) << focusDump();
    from = frames().size();
    m_desktop->press("space");
    EXPECT_EQ(waitForQuietLog(from + kFramesPerWrite, 2s) - from, kFramesPerWrite);

    // "Errors" (blank memories are refused as they are read) and "help/about" from the bar.
    ASSERT_TRUE(keyThenFocus("F10", "menu item\tComm Port Select ")) << focusDump();
    ASSERT_TRUE(keyUntilFocus("Right", is("menu item\tErrors"), 8)) << focusDump();
    m_desktop->press("Return");
    ASSERT_NE(m_desktop->findWindow("Error List", 30s), 0u) << "the error list did not open";
    focusWindow(main);
    ASSERT_TRUE(keyThenFocus("F10", "menu item\tComm Port Select ")) << focusDump();
    ASSERT_TRUE(keyUntilFocus("Right", is("menu item\thelp/about"), 8)) << focusDump();
    m_desktop->press("Return");
    ASSERT_NE(m_desktop->findWindow("Form2", 30s), 0u) << "the help window did not open";
    shot("help-by-keyboard");
    std::optional<std::string> tree = bus->tree("Memvane");
    ASSERT_TRUE(tree);
    spit((m_artefacts / "atspi-tree.txt").string(), *tree);
    // Both windows are on the screen reader's desktop, showing.
    for (const char* window : {"\tError List\t", "\tForm2\t"}) {
        size_t at = tree->find(window);
        ASSERT_NE(at, std::string::npos) << window;
        EXPECT_NE(tree->substr(at, tree->find('\n', at) - at).find("showing"), std::string::npos)
            << window;
    }
    EXPECT_NE(tree->find("text\tHelp\t"), std::string::npos);

    ASSERT_NO_FATAL_FAILURE(closeProgram());
    EXPECT_NE(slurp(file("ComPort.ini")).find("BaudRate=38400\r\n"), std::string::npos)
        << slurp(file("ComPort.ini"));
    int radioStatus = m_radio->stop();
    EXPECT_TRUE(WIFEXITED(radioStatus) && WEXITSTATUS(radioStatus) == 0);
    sim::MemoryMap final = sim::loadMemories(file("memories.txt"), false);
    ASSERT_TRUE(final.count(5));
    EXPECT_EQ(final.at(5).receive.hz, 145'650'000u) << describe(final.at(5));
}
