#include "serial/win32/Win32Errors.h"

#include "core/win32/WideText.h"

#include <windows.h>

namespace memvane::win32 {

std::string OpenErrorDetail(const std::string& port, unsigned long error)
{
    std::string head = "cannot open " + port + ": ";
    const std::string why = systemErrorText(error);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return head + "there is no such port (" + why + ")";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        // Windows answers an exclusive open of a port in use with "access denied".
        return head + "the port is in use by another program (" + why + ")";
    default:
        return head + why;
    }
}

std::string NotAPortDetail(const std::string& port)
{
    return "cannot open " + port + ": not a serial port";
}

std::string LostDeviceDetail(const std::string& port, unsigned long error)
{
    return "lost " + port + ": the device stopped working (unplugged, switched off or reset: " +
           systemErrorText(error) + ")";
}

bool IsDeviceGone(unsigned long error)
{
    switch (error) {
    case ERROR_BAD_COMMAND:          // 22: a USB serial driver whose device was pulled
    case ERROR_GEN_FAILURE:          // 31
    case 433:                        // ERROR_NO_SUCH_DEVICE
    case ERROR_IO_DEVICE:            // 1117
    case ERROR_DEVICE_NOT_CONNECTED: // 1167
    case ERROR_DEVICE_REMOVED:       // 1617
    case ERROR_INVALID_HANDLE:
        return true;
    default:
        return false;
    }
}

} // namespace memvane::win32
