#include "serial/posix/PortNames.h"

namespace memvane::posix {

std::string PortNameToDevicePath(const std::string& name)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (name.size() > 3 && name.size() <= 9 && lower(name[0]) == 'c' && lower(name[1]) == 'o' &&
        lower(name[2]) == 'm') {
        long n = 0;
        bool digits = true;
        for (std::size_t i = 3; i < name.size(); ++i) {
            if (name[i] < '0' || name[i] > '9') {
                digits = false;
                break;
            }
            n = n * 10 + (name[i] - '0');
        }
        if (digits && n >= 1)
            return "/dev/ttyS" + std::to_string(n - 1);
    }
    if (!name.empty() && name[0] == '/')
        return name;
    return "/dev/" + name;
}

} // namespace memvane::posix
