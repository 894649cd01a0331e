#pragma once
// The one place where system error numbers become sentences for the user. Each says what
// failed, on which device, and why; a permission problem also says how to fix it.

#include <string>

namespace memvane::posix {

// "cannot open /dev/ttyUSB0: Permission denied; ..." for an open that failed with `err`,
// including the checks right after open() (ENOTTY: no terminal; EIO: no hardware behind it).
std::string OpenErrorDetail(const std::string& path, int err);

// "cannot open /tmp/x: not a serial port (a regular file)" for a name that is no terminal.
std::string NotATerminalDetail(const std::string& path, const std::string& what);

// "lost /dev/ttyUSB0: the device hung up (...)" for an open device that went away.
std::string LostDeviceDetail(const std::string& path);

} // namespace memvane::posix
