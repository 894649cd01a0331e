#pragma once
// Standard input and output as the tool finds them. On POSIX a descriptor 0, 1 or 2 that the
// caller closed would be the next one the port opens, and a channel file meant for standard
// output would go out on the radio line: /dev/null takes its place there, and the tool is told
// which stream is closed. Windows opens the port as a handle of its own, never as a C runtime
// descriptor, so nothing can take a stream's place there.

namespace memvane::cli {

struct StandardStreams
{
    bool inClosed = false;
    bool outClosed = false;
};

// Called once, first thing in main().
StandardStreams guardStandardStreams();

} // namespace memvane::cli
