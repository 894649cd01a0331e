// The application object: an error that leaves an event handler is caught where Qt delivers the
// event and reaches the application's error handler; the installed default shows its message in
// a message box and shows nothing for the silent abort. This binary makes its own application
// object, so it has its own main().

#include "app/Application.h"
#include "core/Errors.h"
#include "core/ExceptionHandler.h"
#include "tests/app/AppTestSupport.h"

#include <QEvent>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace memvane::test {
namespace {

constexpr QEvent::Type kThrowEvent = static_cast<QEvent::Type>(QEvent::User + 7);

class Thrower : public QObject
{
public:
    std::function<void()> body;
    int handled = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != kThrowEvent)
            return QObject::event(e);
        ++handled;
        body();
        return true;
    }
};

TEST(ApplicationTest, ErrorsFromEventHandlersShowTheirMessage)
{
    Thrower thrower;
    thrower.body = [] { throw AppError("COM Port Error: Write failed"); };
    MessageBoxAnswerer answerer;
    answerer.arm(QMessageBox::Ok);
    QCoreApplication::postEvent(&thrower, new QEvent(kThrowEvent));
    ASSERT_TRUE(processUntil([&] { return !answerer.texts.empty(); }, 5000));
    EXPECT_EQ(answerer.texts[0], "COM Port Error: Write failed");

    // Any standard exception is caught as well; the loop goes on.
    thrower.body = [] { throw std::runtime_error("boom"); };
    answerer.arm(QMessageBox::Ok);
    QCoreApplication::postEvent(&thrower, new QEvent(kThrowEvent));
    ASSERT_TRUE(processUntil([&] { return answerer.texts.size() == 2; }, 5000));
    EXPECT_EQ(answerer.texts[1], "boom");
}

TEST(ApplicationTest, TheSilentAbortShowsNothing)
{
    Thrower thrower;
    thrower.body = [] { throw EAbort(); };
    std::vector<std::string> seen;
    QCoreApplication::postEvent(&thrower, new QEvent(kThrowEvent));
    ASSERT_TRUE(processUntil([&] { return thrower.handled == 1; }, 5000));
    QCoreApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QMessageBox*>(w) && w->isVisible());
}

TEST(ApplicationTest, ErrorsGoThroughTheInstalledHandler)
{
    std::vector<std::string> seen;
    SetApplicationExceptionHandler([&](const std::exception& e) { seen.push_back(e.what()); });
    Thrower thrower;
    thrower.body = [] { throw EConvertError("'x' is not a valid integer value"); };
    QCoreApplication::postEvent(&thrower, new QEvent(kThrowEvent));
    ASSERT_TRUE(processUntil([&] { return !seen.empty(); }, 5000));
    EXPECT_EQ(seen, std::vector<std::string>{"'x' is not a valid integer value"});
    SetApplicationExceptionHandler({});
}

TEST(ApplicationTest, ScopedHandlersBringBackTheOneBeforeThemInAnyOrder)
{
    std::vector<std::string> seen;
    auto recordAs = [&seen](const char* who) {
        return [&seen, who](const std::exception&) { seen.push_back(who); };
    };
    auto below = std::make_unique<ScopedExceptionHandler>(recordAs("below"));
    auto first = std::make_unique<ScopedExceptionHandler>(recordAs("first"));
    auto second = std::make_unique<ScopedExceptionHandler>(recordAs("second"));
    first.reset(); // out of order: the newer one stays in charge
    HandleApplicationException(AppError("x"));
    second.reset(); // and brings back what was there before both
    HandleApplicationException(AppError("x"));
    EXPECT_EQ(seen, (std::vector<std::string>{"second", "below"}));
}

} // namespace
} // namespace memvane::test

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // test discovery runs without CTest's setting
    memvane::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
