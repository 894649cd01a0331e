// The main window built for Windows, under wine: its fonts draw every letter, and the transceive
// monitor works its whole path, from the COM port that start-up opens from "ComPort.ini", through
// the Win32 event thread's wait and the hand-over to the window's thread, to the hidden Memo3.
// The port is mapped onto a Linux pty whose far end the test drives (MEMVANE_TEST_PORT,
// MEMVANE_PEER; scripts/windows-test sets them up).
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "tests/support/FakeUi.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "tests/support/win32/PtyPeerClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace memvane::test {
namespace {

// How many pixels of `text` in `font` come out clearly darker than the white around it.
int inkOf(const QString& text, const QFont& font)
{
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, 64, 32), Qt::AlignCenter, text);
    painter.end();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += qGray(image.pixel(x, y)) < 192;
    return ink;
}

bool processUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 20000) // a hang guard, far beyond a loaded machine under wine
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

TEST(TransceiveMonitorOnWindows, BroadcastsOnTheOpenComPortReachMemo3)
{
    const std::string port = envText("MEMVANE_TEST_PORT");
    PtyPeerClient peer;
    if (port.empty() || !peer.ok())
        GTEST_SKIP() << "no mapped COM port (MEMVANE_TEST_PORT, MEMVANE_PEER)";
    ASSERT_EQ(peer.ask("reopen"), "ok");

    TempDir exe;
    spit((exe.path() / "ComPort.ini").string(), "[ComPort1]\r\nPort=" + port + "\r\n");
    FakeUi dialogs;
    TForm1Options options;
    options.exedir = exe.path().generic_string() + "/";
    options.dialogs = &dialogs;
    MainWindows windows = createMainWindows(options);
    TForm1* form = windows.form1.get();
    form->show();
    ASSERT_TRUE(processUntil([form] { return form->initialised(); }));
    ASSERT_TRUE(form->comPort().Connected()) << "start-up did not open " << port;
    EXPECT_EQ(form->comPort().Port(), port);
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();

    // The frequency first (145.5 MHz), the mode later (FM, narrow), as the radio sends them
    // when its dial and then its mode change.
    peer.send_(std::string("\xFE\xFE\x00\x58\x00\x00\x00\x50\x45\x01\xFD", 11));
    ASSERT_TRUE(processUntil([form] { return form->state().rxfreq == "0145.500000"; }));
    peer.send_(std::string("\xFE\xFE\x00\x58\x01\x05\x02\xFD", 8));
    ASSERT_TRUE(processUntil([form] { return form->state().rxmode == "FM"; }));
    EXPECT_EQ(form->Memo3->toPlainText(), "0145.500000\nFM  Narrow");
    EXPECT_FALSE(form->Memo3->isVisible());
    EXPECT_TRUE(dialogs.messages.empty());
}

// Wine's default rasteriser dropped the capital I of the 11-pixel face ("C -V Address" in the
// menu); every letter of the captions must leave ink.
TEST(WindowFontsOnWindows, EveryLetterOfTheCaptionsIsDrawn)
{
    TempDir exe;
    FakeUi dialogs;
    TForm1Options options;
    options.exedir = exe.path().generic_string() + "/";
    options.dialogs = &dialogs;
    MainWindows windows = createMainWindows(options);
    const QFont menuFont = windows.form1->menuBar()->font();
    for (const QFont& font : {windows.form1->font(), menuFont, windows.form3->font()}) {
        for (char c : std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")) {
            EXPECT_GT(inkOf(QString(QChar(c)), font), 0)
                << "'" << c << "' in " << font.family().toStdString() << " at "
                << font.pixelSize() << " px";
        }
    }
}

} // namespace
} // namespace memvane::test
