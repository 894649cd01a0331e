#include "app/Application.h"

#include "app/FontFallbacks.h"
#include "app/TextCodec.h"
#include "core/Errors.h"
#include "core/ExceptionHandler.h"
#include "serial/QtMainThreadWake.h"

#include <QMessageBox>

namespace memvane {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv), m_errorHandler([](const std::exception& error) {
          if (dynamic_cast<const EAbort*>(&error))
              return;
          QMessageBox box(QMessageBox::Information, "Memvane", decodeText(error.what()),
                          QMessageBox::Ok);
          box.exec();
      })
{
    setApplicationName("Memvane");
    // The dialogs and message boxes take the application's font; they get the window's
    // rendering too.
    if (fontStyleStrategy() != QFont::PreferDefault) {
        QFont base = font();
        base.setStyleStrategy(fontStyleStrategy());
        setFont(base);
    }
    // The serial event thread's calls reach this thread through the event loop.
    mainthread::InstallQtWake();
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        HandleApplicationException(error);
    } catch (...) {
        HandleApplicationException(AppError("Unexpected error"));
    }
    return true;
}

} // namespace memvane
