#pragma once
// Port names as the user and "ComPort.ini" give them, and the device they open on POSIX:
// "COMn" (any letter case, n >= 1) is /dev/ttyS(n-1), so a settings file written for the
// first serial port still finds it; a name starting with "/" is a device path; any other name
// is a file under /dev ("ttyUSB0" is /dev/ttyUSB0).

#include <string>

namespace memvane::posix {

std::string PortNameToDevicePath(const std::string& name);

} // namespace memvane::posix
