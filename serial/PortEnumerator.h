#pragma once
// The serial ports the setup dialog offers, under the names the port component opens. Where
// they come from is the platform's (serial/posix/PosixPortList.h: /sys and /dev on Linux;
// serial/win32/RegistryPortList.cpp: the registry key "HARDWARE\\DEVICEMAP\\SERIALCOMM" on
// Windows). The names are sorted as text ignoring letter case ("COM1", "COM10", "COM2"),
// duplicates dropped. A list that cannot be had raises EComPort code 23 ("Registry error on
// registry read"): on Windows a missing key or a failed enumeration, on Linux no port at all.
//
// Called on the main thread while the setup dialog is built.

#include <functional>
#include <string>
#include <vector>

namespace memvane {

// The system's ports, sorted; EComPort code 23 as above.
std::vector<std::string> SystemSerialPorts();

// The list the setup dialog shows: the system's, unless a test replaced the source.
std::vector<std::string> ListSerialPorts();

// Replaces the source of ListSerialPorts (null restores the system's); returns the previous
// one. For tests of the dialog, which must not depend on the machine's ports.
using PortLister = std::function<std::vector<std::string>()>;
PortLister SetPortLister(PortLister lister);

// Sorts as text ignoring ASCII letter case and drops exact duplicates.
void SortPortNames(std::vector<std::string>& names);

} // namespace memvane
