#include "core/ExceptionHandler.h"

#include "core/Errors.h"

#include <cstdio>

namespace memvane {

namespace {
ExceptionHandler& handlerSlot()
{
    static ExceptionHandler handler;
    return handler;
}
} // namespace

void SetApplicationExceptionHandler(ExceptionHandler handler)
{
    handlerSlot() = std::move(handler);
}

void HandleApplicationException(const std::exception& error)
{
    if (handlerSlot()) {
        handlerSlot()(error);
        return;
    }
    if (dynamic_cast<const EAbort*>(&error))
        return;
    std::fprintf(stderr, "memvane: %s\n", error.what());
}

} // namespace memvane
