// The transceive monitor of the real main window on Windows: the port opened from "ComPort.ini",
// the Win32 event thread's wait, the hand-over to the window's thread and the decoding into the
// hidden Memo3, which no user can see and so no click-driven check can read. The radio keeps
// broadcasting 14.195 MHz USB Normal until this program ends (scripts/windows-gui-test).
#include "app/Unit1.h"
#include "core/FileStore.h"
#include "tests/support/FakeUi.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace memvane::test {
namespace {

TEST(WindowsMainWindow, TransceiveMonitorDecodesTheRadiosBroadcasts)
{
    const char* port = std::getenv("MEMVANE_TEST_RADIO_PORT");
    if (!port || !*port)
        GTEST_SKIP() << "needs memvane-radio on a COM port that broadcasts: "
                        "scripts/windows-gui-test runs this under wine";
    TempDir dir;
    const std::string folder = dir.path().string() + "\\";
    replaceFile(folder + "ComPort.ini", std::string("[ComPort1]\r\nPort=") + port + "\r\n");

    FakeUi ui; // any message box would fail the test through it
    TForm1Options options;
    options.exedir = folder;
    options.dialogs = &ui;
    MainWindows windows = createMainWindows(options);
    windows.form1->show();
    auto* memo3 = windows.form1->findChild<QPlainTextEdit*>("Memo3");
    ASSERT_NE(memo3, nullptr);

    // A generous bound: the radio repeats its broadcasts, wine and the machine may be slow.
    const QString expected = "0014.195000\nUSB  Normal";
    QElapsedTimer timer;
    timer.start();
    while (memo3->toPlainText() != expected && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(memo3->toPlainText().toStdString(), expected.toStdString());
    EXPECT_TRUE(windows.form1->comPort().Connected());
    EXPECT_EQ(windows.form1->comPort().Port(), port);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    EXPECT_TRUE(memo3->isHidden());
}

} // namespace
} // namespace memvane::test
