#include "core/ExceptionHandler.h"

#include "core/Errors.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace memvane {

namespace {
ExceptionHandler& handlerSlot()
{
    static ExceptionHandler handler;
    return handler;
}

// The scoped installers still alive, oldest first.
std::vector<ScopedExceptionHandler*>& liveInstallers()
{
    static std::vector<ScopedExceptionHandler*> installers;
    return installers;
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

ScopedExceptionHandler::ScopedExceptionHandler(ExceptionHandler handler)
    : m_previous(std::exchange(handlerSlot(), std::move(handler)))
{
    liveInstallers().push_back(this);
}

ScopedExceptionHandler::~ScopedExceptionHandler()
{
    std::vector<ScopedExceptionHandler*>& live = liveInstallers();
    auto self = std::find(live.begin(), live.end(), this);
    auto next = self + 1;
    if (next == live.end())
        handlerSlot() = std::move(m_previous);
    else // the next one's "before" was this one's handler, which ends now
        (*next)->m_previous = std::move(m_previous);
    live.erase(self);
}

} // namespace memvane
