// One QApplication per GUI test binary. The platform comes from QT_QPA_PLATFORM (offscreen in
// CTest); a developer can pass -platform xcb to watch the widgets.
#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale::c());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
