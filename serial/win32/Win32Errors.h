#pragma once
// Sentences for the user about what failed on which port and why, with the system's own text.

#include <string>

namespace memvane::win32 {

std::string OpenErrorDetail(const std::string& port, unsigned long error);
std::string NotAPortDetail(const std::string& port);
std::string LostDeviceDetail(const std::string& port, unsigned long error);

// Errors after which the device will never work again (the adapter is gone).
bool IsDeviceGone(unsigned long error);

} // namespace memvane::win32
