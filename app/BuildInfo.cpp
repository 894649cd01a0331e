#include "app/BuildInfo.h"

#include <climits>
#include <cstdio>
#include <unistd.h>

namespace memvane {

std::string buildTimeText(std::time_t utcSeconds)
{
    std::tm local{};
    tzset();
    if (!localtime_r(&utcSeconds, &local))
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%02d.%02d%02d", local.tm_year % 100,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
    return text;
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
