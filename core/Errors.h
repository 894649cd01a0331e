#pragma once
// The program's error hierarchy. Every error that leaves an operation carries the message the
// top-level handler shows in a message box; EAbort is the one that shows nothing.
//
// Thrown on the user-interface thread only. The serial component's EComPort derives from
// AppError too (serial/CPort.h), so one catch at the event loop covers everything.

#include <stdexcept>
#include <string>

namespace memvane {

class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
    std::string message() const { return what(); }
};

// "'%s' is not a valid floating point value" / "'%s' is not a valid integer value".
class EConvertError : public AppError {
public:
    using AppError::AppError;
};

// "List index out of bounds (%d)".
class EListError : public AppError {
public:
    explicit EListError(long index);
};

// "File not found", "File access denied", "I/O error %d".
class EInOutError : public AppError {
public:
    EInOutError(int errorCode, const std::string& message)
        : AppError(message), m_errorCode(errorCode) {}
    // Maps an errno value to the message the user sees.
    static EInOutError fromErrno(int err);
    int errorCode() const { return m_errorCode; }

private:
    int m_errorCode;
};

// The silent abort: unwinds the running operation to the event loop and shows nothing.
class EAbort : public AppError {
public:
    EAbort() : AppError("Operation aborted") {}
};

} // namespace memvane
