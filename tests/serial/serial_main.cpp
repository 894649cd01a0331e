// The serial tests need an event loop for the event thread's handlings: one QCoreApplication
// per test binary, no display needed.
#include "serial/QtMainThreadWake.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    memvane::mainthread::InstallQtWake();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
