#include "serial/QtMainThreadWake.h"

#include "serial/MainThreadQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace memvane::mainthread {

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 401);

class Waker;
Waker* g_installed = nullptr; // main thread only

class Waker : public QObject
{
public:
    using QObject::QObject;
    ~Waker() override
    {
        g_installed = nullptr;
        SetWakeHook(nullptr);
    }

protected:
    // The wake-up is the only custom event this object ever receives. The event is not looked
    // at: a worker made it, and Qt's queue, which hands it over, synchronises in a way that
    // ThreadSanitizer cannot see, so reading it here would be reported as a race.
    void customEvent(QEvent*) override { Woken(); }
};

} // namespace

void InstallQtWake()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || g_installed)
        return;
    auto* waker = new Waker(app); // goes away with the application
    g_installed = waker;
    // postEvent is thread-safe and never calls back, so it may run under the queue's lock.
    SetWakeHook([waker] { QCoreApplication::postEvent(waker, new QEvent(kWakeEvent)); });
}

} // namespace memvane::mainthread
