#pragma once
// EComPort: the error the serial port component raises, and its codes.

#include "core/Errors.h"

#include <string>

namespace memvane {

// Component error codes.
enum : int {
    CError_OpenFailed = 1,
    CError_WriteFailed = 2,
    CError_ReadFailed = 3,
    CError_InvalidAsync = 4,
    CError_PurgeFailed = 5,
    CError_AsyncCheck = 6,
    CError_SetStateFailed = 7,
    CError_TimeoutsFailed = 8,
    CError_SetupComFailed = 9,
    CError_ClearComFailed = 10,
    CError_ModemStatFailed = 11,
    CError_EscapeComFailed = 12,
    CError_TransmitFailed = 13,
    CError_ConnChangeProp = 14,
    CError_EnumPortsFailed = 15,
    CError_StoreFailed = 16,
    CError_LoadFailed = 17,
    CError_RegFailed = 18,
    CError_LedStateFailed = 19,
    CError_ThreadCreated = 20,
    CError_WaitFailed = 21,
    CError_HasLink = 22,
    CError_RegError = 23,
};

class EComPort : public AppError
{
public:
    // "COM Port Error: <text>"; WinCode -1.
    explicit EComPort(int ACode);
    // "COM Port Error: <text> on <port>" (code 23: "... on registry read"). `detail` is the
    // system's explanation for the user (why an open failed), kept apart from the fixed message.
    EComPort(int ACode, int AWinCode, const std::string& portName, std::string detail = {});

    int Code() const { return FCode; }
    int WinCode() const { return FWinCode; }
    const std::string& Detail() const { return m_detail; }

    // The text of a code; "Unknown Error #<n>" outside the table.
    static std::string CodeText(int code);

private:
    int FWinCode;
    int FCode;
    std::string m_detail;
};

} // namespace memvane
