#pragma once
// The serial ports of a Linux system, under the names the port component opens
// (serial/posix/PortNames.h): "COMn" opens /dev/ttyS(n-1), a name starting with "/" is a path,
// any other name is a file under /dev.
//
// What is listed, and why:
// - every tty in /sys/class/tty that a driver has bound (a `device/driver` link): that leaves
//   out virtual consoles and pseudo-terminal masters. A serial-core port whose `type` attribute
//   is 0 has no UART behind it (the eight legacy ttyS lines the 8250 driver registers whatever
//   the hardware), so it is left out too. ttySn is listed as "COM(n+1)", so the default
//   "COM1" of a fresh "ComPort.ini" is found and selected; the others by their kernel name
//   ("ttyUSB0", "ttyACM0"). A name is listed only when its /dev node exists, since a node
//   missing there (a container without udev) cannot be opened;
// - every link in /dev/serial/by-id whose device exists, as its full path: that is the name a
//   user recognises (maker, model, serial number) and it stays the same across re-plugging;
// - the paths a running memvane-radio advertises (one file per process, named by its pid, in
//   $XDG_RUNTIME_DIR/memvane-radio or /tmp/memvane-radio-<uid>; lines are device paths). A
//   file whose process is no longer a running memvane-radio (its pid may have been reused), or
//   a path that no longer exists, is skipped, as is a folder that is not ours (anyone can make
//   folders in /tmp).
// The names are sorted as text ignoring letter case ("COM1", "COM10", "COM2"), duplicates
// dropped. No port at all raises EComPort code 23 ("Registry error on registry read"), the
// component's error for a system that cannot tell its serial ports.
//
// Called on the main thread while the setup dialog is built; it only reads small files.

#include "serial/PortEnumerator.h"

namespace memvane {

// Where the ports are looked for. `root` is prefixed to /sys, /dev and /proc so tests can
// hand in a fake tree; advertisement paths are used as written.
struct PortListSources
{
    std::string root = "/";
    std::vector<std::string> advertDirs;
};

// The real system: root "/", the advertisement folders of this user.
PortListSources SystemPortListSources();

// The sorted list of port names from `sources`; EComPort code 23 when it holds none.
std::vector<std::string> EnumerateSerialPorts(const PortListSources& sources);

// The name the component opens a kernel tty by: "ttyS0" -> "COM1", "ttyUSB0" -> "ttyUSB0".
std::string TtyToPortName(const std::string& kernelName);

} // namespace memvane
