#pragma once
// The one place where system error numbers become sentences for the user. Each says what
// failed, on which device, and why; a permission problem also says how to fix it.

#include <string>

namespace memvane::posix {

// "cannot open /dev/ttyUSB0: Permission denied; ..." for an open that failed with `err`.
std::string OpenErrorDetail(const std::string& path, int err);

// "cannot open /tmp/x: not a serial port (a regular file)" for a name that is no terminal.
std::string NotATerminalDetail(const std::string& path, const std::string& what);

} // namespace memvane::posix
