#include "serial/win32/Win32Backend.h"

#include "core/win32/WideText.h"
#include "serial/ComPortNumber.h"
#include "serial/win32/Win32Device.h"
#include "serial/win32/Win32Errors.h"

#include <windows.h>

namespace memvane {

std::shared_ptr<TComBackend> DefaultComBackend()
{
    static std::shared_ptr<TComBackend> backend = std::make_shared<win32::Win32Backend>();
    return backend;
}

namespace win32 {

std::string PortNameToDevicePath(const std::string& name)
{
    if (name.rfind("\\\\.\\", 0) == 0)
        return name;
    // "COM1" ... "COM256" as users type them, in any letter case: the device name is COMn.
    long n = 0;
    if (comPortNumber(name, n) && name.size() <= 6 && name[3] != '0' && n >= 1 && n <= 256)
        return "\\\\.\\COM" + std::to_string(n);
    return "\\\\.\\" + name;
}

std::shared_ptr<ComDevice> Win32Backend::open(const std::string& port, bool overlapped,
                                              ComOpenError& error)
{
    auto fail = [&](DWORD err, std::string detail) -> std::shared_ptr<ComDevice> {
        error.error = static_cast<int>(err);
        error.detail = std::move(detail);
        return nullptr;
    };
    // An empty name (a dialog closed without a port) would open the device namespace itself.
    if (port.empty())
        return fail(ERROR_FILE_NOT_FOUND, OpenErrorDetail(port, ERROR_FILE_NOT_FOUND));
    const std::wstring path = toWide(PortNameToDevicePath(port));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        return fail(err, OpenErrorDetail(port, err));
    }
    // Only a communications device has line settings; anything else is not ours to write to.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetFileType(h) != FILE_TYPE_CHAR || !GetCommState(h, &dcb)) {
        CloseHandle(h);
        return fail(ERROR_INVALID_HANDLE, NotAPortDetail(port));
    }
    return std::make_shared<Win32Device>(h, port, overlapped);
}

std::shared_ptr<ComEvent> Win32Backend::createEvent()
{
    return std::make_shared<Win32Event>();
}

void Win32Backend::setThreadPriority(int priority)
{
    // TThreadPriority tpIdle .. tpTimeCritical.
    static const int levels[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                                 THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                 THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                 THREAD_PRIORITY_TIME_CRITICAL};
    if (priority < 0 || priority > 6)
        return;
    SetThreadPriority(GetCurrentThread(), levels[priority]);
}

} // namespace win32
} // namespace memvane
