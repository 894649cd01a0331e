#pragma once
// The application's top-level error handler, reachable from code below the windows (the serial
// component's form-data open, event handlers run from the event loop). The application object
// installs a handler that shows the message in a message box (EAbort shows nothing); until then
// the message goes to stderr.

#include <exception>
#include <functional>

namespace memvane {

using ExceptionHandler = std::function<void(const std::exception&)>;

void SetApplicationExceptionHandler(ExceptionHandler handler);
void HandleApplicationException(const std::exception& error);

// Installs a handler for the lifetime of this object (a window for as long as it lives). Its end
// brings back the handler that was there before it; when an installer made after it still lives,
// that one brings it back at its own end instead, so installers may end in any order.
class ScopedExceptionHandler
{
public:
    explicit ScopedExceptionHandler(ExceptionHandler handler);
    ~ScopedExceptionHandler();
    ScopedExceptionHandler(const ScopedExceptionHandler&) = delete;
    ScopedExceptionHandler& operator=(const ScopedExceptionHandler&) = delete;

private:
    ExceptionHandler m_previous;
};

} // namespace memvane
