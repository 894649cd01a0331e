#pragma once
// Line rates that have no Bxxx constant (14400, 56000, 128000, 256000, custom rates) go through
// the kernel's termios2 and BOTHER. Its header clashes with <termios.h>, so this interface
// speaks plain integers and its implementation never includes <termios.h>.

#include <cstdint>

namespace memvane::posix {

// Sets both directions of `fd` to `rate` baud. Returns 0 or the error number.
int SetCustomBaudRate(int fd, std::uint32_t rate);

// Reads back the rates the driver holds. Returns 0 or the error number.
int GetBaudRates(int fd, std::uint32_t& input, std::uint32_t& output);

} // namespace memvane::posix
