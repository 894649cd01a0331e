#include "serial/ComPortError.h"

#include <utility>

namespace memvane {

namespace {

const char* const kErrorTexts[] = {
    "",
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};
constexpr int kErrorTextCount = static_cast<int>(sizeof kErrorTexts / sizeof kErrorTexts[0]);

} // namespace

std::string EComPort::CodeText(int code)
{
    if (code >= 1 && code < kErrorTextCount)
        return kErrorTexts[code];
    return "Unknown Error #" + std::to_string(code);
}

EComPort::EComPort(int ACode)
    : AppError("COM Port Error: " + CodeText(ACode)), FWinCode(-1), FCode(ACode)
{
}

EComPort::EComPort(int ACode, int AWinCode, const std::string& portName, std::string detail)
    : AppError("COM Port Error: " + CodeText(ACode) + " on " +
               (ACode == CError_RegError ? std::string("registry read") : portName)),
      FWinCode(AWinCode), FCode(ACode), m_detail(std::move(detail))
{
}

} // namespace memvane
