#include "cli/StandardStreams.h"

#include <windows.h>

namespace memvane::cli {

StandardStreams guardStandardStreams()
{
    // A process started without a console or redirection has no handle for the stream.
    auto closed = [](DWORD which) {
        HANDLE h = GetStdHandle(which);
        return h == nullptr || h == INVALID_HANDLE_VALUE;
    };
    StandardStreams streams;
    streams.inClosed = closed(STD_INPUT_HANDLE);
    streams.outClosed = closed(STD_OUTPUT_HANDLE);
    return streams;
}

} // namespace memvane::cli
