// Windows: the ports are the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, one per port whose
// driver is loaded; the port name is each value's data ("COM3"), the value names are the
// drivers' own and are not used.
#include "serial/PortEnumerator.h"

#include "core/win32/WideText.h"
#include "serial/CPort.h"

#include <windows.h>

namespace memvane {

std::vector<std::string> SystemSerialPorts()
{
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                                   KEY_READ, &key);
    if (status != ERROR_SUCCESS)
        throw EComPort(CError_RegError, static_cast<int>(status), std::string());
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[257];
        DWORD nameSize = 257;
        BYTE data[256 + sizeof(wchar_t)] = {};
        DWORD dataSize = 256;
        DWORD type = 0;
        status = RegEnumValueW(key, index, valueName, &nameSize, nullptr, &type, data, &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            RegCloseKey(key);
            throw EComPort(CError_RegError, static_cast<int>(status), std::string());
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            continue;
        // The text up to its terminating NUL; the extra zeroed bytes end one that has none.
        std::wstring text(reinterpret_cast<const wchar_t*>(data));
        if (!text.empty())
            names.push_back(win32::fromWide(text));
    }
    RegCloseKey(key);
    SortPortNames(names);
    return names;
}

} // namespace memvane
