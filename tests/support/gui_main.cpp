// One QApplication per GUI test binary. The platform comes from QT_QPA_PLATFORM (offscreen in
// CTest); a developer can pass -platform xcb to watch the widgets.
#include "serial/QtMainThreadWake.h"

#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // The build lists the tests (gtest_discover_tests) without CTest's environment and often
    // without a display; offscreen then, unless the caller chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale::c());
    QApplication app(argc, argv);
    memvane::mainthread::InstallQtWake();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
