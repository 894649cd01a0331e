// One QApplication per GUI test binary. The platform comes from QT_QPA_PLATFORM (offscreen in
// CTest) or, without it, from the build's default; a developer can pass -platform xcb to watch
// the widgets.
#include "serial/QtMainThreadWake.h"

#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // The build lists the tests (gtest_discover_tests) without CTest's environment and often
    // without a display; the build's default platform then (offscreen; on Windows, whose tests
    // run under wine, which keeps the host's QT_ variables from its programs, the Windows
    // platform on wine's display), unless the caller chose one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", MEMVANE_TEST_PLATFORM);
    QLocale::setDefault(QLocale::c());
    QApplication app(argc, argv);
    memvane::mainthread::InstallQtWake();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
