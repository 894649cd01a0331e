#pragma once
// The program's own settings in "ComPort.ini", in a section of their own beside the serial
// component's ("ComPort1"), which they never touch:
//
//     [Memvane]
//     FastExchange=1
//     ExchangeWait=45
//
// Read at start-up after the component has loaded its settings (memvane-cli reads the wait too),
// written at close after the component has stored its own. A file that never had the option on
// stays exactly as the component writes it; the wait is the user's to write and never written.

#include <string>

namespace memvane {

// "Fast exchange": on when the key holds "1"; a missing file, section or key is off. Throws
// EComPort (settings not loaded) when the file exists but cannot be read.
bool loadFastExchange(const std::string& iniPath);

// The exchange's wait (civdelay) in milliseconds: ExchangeWait when it holds a whole number from
// kMinExchangeWaitMs to kMaxExchangeWaitMs, else `fallback`. For lines slower than a cable (a
// network or Bluetooth serial link), and for tests on a busy machine. Throws like
// loadFastExchange.
inline constexpr int kMinExchangeWaitMs = 1, kMaxExchangeWaitMs = 10'000;
int loadExchangeWait(const std::string& iniPath, int fallback);

// Writes the key when the option is on or the file already has it. Throws EComPort (settings
// not stored) when the file cannot be written.
void storeFastExchange(const std::string& iniPath, bool on);

} // namespace memvane
