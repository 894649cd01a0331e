// The main window's channel list (ListView1 and its item model) with 100 000 rows, offscreen:
// the program's own window (createMainWindows) with its buttons clicked, as a user would.
// A 1 ms heartbeat timer runs throughout; the longest gap between two of its ticks during a
// step is the longest stall of the event loop the user would have seen in that step.
//
// Steps: "Read from File Name ^" of a 100 000-row file; scrolling with scrollTo over the whole
// range (each step painted); "All Write" (setAllWrite on every row with the model attached)
// and "All No Write"; ticking single rows through the model as a click on the check box does;
// "Load Comments from List" with 10 000 names; " Clear List ".
//
//   bench_channel_list [--rows N]   (QT_QPA_PLATFORM defaults to offscreen)

#include "app/ChannelListModel.h"
#include "app/Unit1.h"
#include "bench/BenchSupport.h"
#include "files/ChannelFile.h"
#include "serial/posix/PosixBackend.h"
#include "tests/support/Files.h"

#include <QAction>
#include "serial/QtMainThreadWake.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <unistd.h>

using namespace memvane;
using namespace memvane::bench;

namespace {

// No serial port in this benchmark: every open fails as a missing device would.
class NoPortBackend : public TComBackend
{
public:
    std::shared_ptr<ComDevice> open(const std::string& port, bool, ComOpenError& error) override
    {
        error.error = ENOENT;
        error.detail = "cannot open " + port + ": no port in this benchmark";
        return nullptr;
    }
    std::shared_ptr<ComEvent> createEvent() override { return m_posix.createEvent(); }
    void setThreadPriority(int) override {}

private:
    posix::PosixBackend m_posix;
};

class Heartbeat
{
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_ticks.push_back(Clock::now()); });
        m_timer.start();
    }
    size_t mark() const { return m_ticks.size(); }
    // Longest gap between ticks from tick `from` on, up to now.
    double longestGapMs(size_t from) const
    {
        double worst = 0;
        // The gap that ends with the step's first tick counts too: the step may have started
        // right after the tick before it.
        for (size_t i = std::max<size_t>(from, 1); i < m_ticks.size(); ++i)
            worst = std::max(worst, msBetween(m_ticks[i - 1], m_ticks[i]));
        return worst;
    }

private:
    QTimer m_timer;
    std::vector<Clock::time_point> m_ticks;
};

// Runs the event loop for `ms` milliseconds.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct StepResult
{
    double opMs = 0;
    double stallMs = 0;
};

// Runs `op` from inside the event loop (as a click would), then lets the window repaint.
StepResult step(Heartbeat& beat, const std::function<void()>& op, int settleMs = 150)
{
    spin(20);
    size_t from = beat.mark();
    StepResult r;
    QTimer::singleShot(0, [&] {
        auto start = Clock::now();
        op();
        r.opMs = msSince(start);
    });
    spin(settleMs);
    r.stallMs = beat.longestGapMs(from);
    return r;
}

void report(const std::string& name, const StepResult& r)
{
    printFigure(name,
                fixed(r.opMs, 1) + " ms; longest event-loop stall " + fixed(r.stallMs, 1) + " ms");
}

std::string freqText(long long hz)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04lld.%06lld", hz / 1'000'000, hz % 1'000'000);
    return buf;
}

} // namespace

int main(int argc, char** argv)
{
    int rows = intOption(argc, argv, "--rows", 100'000);
    // The offscreen platform says for every window that it cannot pass size hints on.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (!text.contains("propagateSizeHints"))
            std::cerr << (type == QtDebugMsg ? "" : "Qt: ") << text.toStdString() << "\n";
    });
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    memvane::mainthread::InstallQtWake();
    printMachine("bench_channel_list: ListView1 with " + std::to_string(rows) + " rows (" +
                 QApplication::platformName().toStdString() + ")");

    TempFolder folder;
    // "names.txt" is read from the current folder; the channel file from the program's folder.
    if (::chdir(folder.path().c_str()) != 0)
        return 1;
    {
        std::vector<ChannelRow> list;
        for (int i = 0; i < rows; ++i) {
            std::string f = freqText(1'800'000 + static_cast<long long>(i) * 5'000);
            list.push_back({false,
                            {"Mem " + std::to_string(i + 1), f, f, "FM", "Normal", "Duplex Off", "",
                             "00.6000"}});
        }
        test::spit(folder.file("Default.txt"), formatChannelFile(list));
        std::ofstream names(folder.file("names.txt"), std::ios::binary);
        for (int i = 0; i < 10'000; ++i)
            names << freqText(1'800'000 + static_cast<long long>(i) * 10 * 5'000) << ",Comment "
                  << i << "\r\n";
    }

    BenchUi dialogs;
    TForm1Options options;
    options.exedir = folder.path().string() + "/";
    options.dialogs = &dialogs;
    options.comBackend = std::make_shared<NoPortBackend>();
    MainWindows windows = createMainWindows(options);
    TForm1& form = *windows.form1;
    form.show();
    Heartbeat beat;
    for (int i = 0; i < 200 && !form.initialised(); ++i)
        spin(10);
    spin(200);
    QTableView* view = form.ListView1;
    std::cout << "window " << form.width() << "x" << form.height() << ", list viewport "
              << view->viewport()->width() << "x" << view->viewport()->height() << "\n";

    report("Read from File Name ^ (" + std::to_string(rows) + " rows, model reset)",
           step(beat, [&] { form.ReadfromFile->click(); }));
    std::cout << "rows in the list: " << form.channels().size()
              << ", in the view: " << view->model()->rowCount() << "\n";

    // Scrolling: scrollTo over the range, 200 positions, each painted at once.
    std::vector<double> scrollMs;
    size_t from = beat.mark();
    QAbstractItemModel* model = view->model();
    int positions = 200;
    for (int k = 0; k <= positions; ++k) {
        int row = static_cast<int>(static_cast<long long>(rows - 1) * k / positions);
        auto start = Clock::now();
        view->scrollTo(model->index(row, 1), QAbstractItemView::PositionAtCenter);
        view->viewport()->repaint();
        scrollMs.push_back(msSince(start));
        QCoreApplication::processEvents();
    }
    // Back to the top through the scroll bar, a page at a time near the end of the list.
    for (int k = 0; k < 100; ++k) {
        auto start = Clock::now();
        view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
        view->viewport()->repaint();
        scrollMs.push_back(msSince(start));
        QCoreApplication::processEvents();
    }
    view->scrollToTop();
    spin(50);
    printFigure("scrollTo over the range + page up, each step painted",
                describe(statsOf(scrollMs)) + "; longest event-loop stall " +
                    fixed(beat.longestGapMs(from), 1) + " ms");

    report("All Write (setAllWrite(true) on every row, model attached)",
           step(beat, [&] { form.AllWrite->click(); }));
    size_t ticked = 0;
    for (const auto& r : form.channels().rows())
        ticked += r.write;
    std::cout << "ticked rows: " << ticked << "\n";
    report("All No Write", step(beat, [&] { form.AllNoWrite->click(); }));

    // Single ticks the way the view's check box sets them.
    std::vector<double> tickMs;
    from = beat.mark();
    for (int k = 0; k < 200; ++k) {
        int row = static_cast<int>(static_cast<long long>(rows - 1) * k / 199);
        view->scrollTo(model->index(row, 0));
        auto start = Clock::now();
        model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
        view->viewport()->repaint();
        tickMs.push_back(msSince(start));
        QCoreApplication::processEvents();
    }
    printFigure("tick one row (check box, painted)", describe(statsOf(tickMs)) +
                                                         "; longest event-loop stall " +
                                                         fixed(beat.longestGapMs(from), 1) + " ms");

    report("Re Read List (names.txt, 10000 names)",
           step(beat, [&] { form.ReReadList1->trigger(); }));
    report("Load Comments from List (10000 names over " + std::to_string(rows) + " rows)",
           step(beat, [&] { form.test31->trigger(); }));
    size_t withComment = 0;
    for (size_t i = 0; i < form.channels().size(); ++i)
        withComment += !form.channels().text(i, ColComment).empty();
    std::cout << "rows with a comment: " << withComment << "\n";
    report("Clear Comment Texts", step(beat, [&] { form.ClearCommentTexts1->trigger(); }));
    report("Clear List", step(beat, [&] { form.ClearList1->trigger(); }));
    std::cout << "messages shown: " << dialogs.messages.size();
    for (const auto& m : dialogs.messages)
        std::cout << " [" << m << "]";
    std::cout << "\n";
    return 0;
}
