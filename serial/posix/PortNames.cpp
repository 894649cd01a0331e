#include "serial/posix/PortNames.h"

#include "serial/ComPortNumber.h"

namespace memvane::posix {

std::string PortNameToDevicePath(const std::string& name)
{
    long n = 0;
    if (name.size() <= 9 && comPortNumber(name, n) && n >= 1)
        return "/dev/ttyS" + std::to_string(n - 1);
    if (!name.empty() && name[0] == '/')
        return name;
    return "/dev/" + name;
}

} // namespace memvane::posix
