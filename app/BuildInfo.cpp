#include "app/BuildInfo.h"

#include "core/Numbers.h"

#include <climits>
#include <unistd.h>

namespace memvane {

std::string buildTimeText(std::time_t utcSeconds)
{
    std::tm local{};
    tzset();
    if (!localtime_r(&utcSeconds, &local))
        return {};
    return FormatInt(local.tm_year % 100, 2) + "." + FormatInt(local.tm_mon + 1, 2) + "." +
           FormatInt(local.tm_mday, 2) + "." + FormatInt(local.tm_hour, 2) +
           FormatInt(local.tm_min, 2);
}

std::string executableDir()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "./";
    std::string full(path, static_cast<size_t>(n));
    size_t slash = full.rfind('/');
    return slash == std::string::npos ? std::string("./") : full.substr(0, slash + 1);
}

} // namespace memvane
