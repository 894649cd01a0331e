#pragma once
// The application object. Qt delivers every event through notify(); an error that leaves an
// event handler is caught there and handed to the application's error handler
// (core/ExceptionHandler.h), which shows its message in a message box and shows nothing for the
// silent abort (EAbort). Until the main window installs itself as the handler's target, and again
// after it is gone, a plain message box without owner is used. GUI thread only.

#include "core/ExceptionHandler.h"

#include <QApplication>

namespace memvane {

class Application : public QApplication
{
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    ScopedExceptionHandler m_errorHandler;
};

} // namespace memvane
