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

} // namespace memvane
